// Every save that replaces a file the operator named asks first, once, about the name it will
// write (extension added); No leaves the file as it was.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <functional>

#include "app/hostmain_window.h"
#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/hardware_screen_qt.h"
#include "support/temp_dir.h"
#include "support/window_rig.h"

namespace cv {
namespace {

struct SaveCase {
    const char* name;
    const char* extension;
    size_t savedSize;  // 0: a host setup file, whose size depends on the window
    bool asksNotCurrentFirst;  // the page shows what the logger did not send: "may not match" first
    std::function<void(TForm1&)> save;
};
void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

struct SaveOverAFile : ::testing::TestWithParam<SaveCase>, test::WindowRig {};

TEST_P(SaveOverAFile, AsksOnceAboutTheNameWrittenAndNoKeepsTheFile) {
    const SaveCase& c = GetParam();
    test::TempDir dir;
    const std::filesystem::path file = dir / (std::string("unit") + c.extension);
    const std::vector<uint8_t> old = test::textBytes("old");
    test::writeFile(file, old);
    auto saveAnswering = [&](Answer answer) {
        dialogs.boxes.clear();
        dialogs.fileAnswers = {(dir / "unit").string()};
        dialogs.answers = {answer};
        if (c.asksNotCurrentFirst) dialogs.answers.push_front(Answer::Ok);
        c.save(form);
    };

    saveAnswering(Answer::No);
    EXPECT_FALSE(dialogs.fileChoices.back().askOverwrite) << "the dialog would ask a second time";
    ASSERT_FALSE(dialogs.boxes.empty());
    const auto& question = dialogs.boxes.back();
    EXPECT_EQ(question.text, "File " + file.string() + " Exists ... Overwrite ?");
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.defaultAnswer, Answer::No);
    EXPECT_EQ(test::readFile(file), old);

    saveAnswering(Answer::Yes);
    const auto saved = test::readFile(file);
    if (c.savedSize) {
        EXPECT_EQ(saved.size(), c.savedSize);
    } else {
        EXPECT_NE(saved, old);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Savers, SaveOverAFile,
    ::testing::Values(
        SaveCase{"Hardware", ".hdw", 58, true, [](TForm1& f) { f.hardwareScreen()->hardwarePage()->BTSaveHardwareFile->click(); }},
        SaveCase{"Calibration", ".alg", 44, true, [](TForm1& f) { f.hardwareScreen()->analogPage()->BTSaveAnalogFile->click(); }},
        SaveCase{"HostSetup", ".cvh", 0, false, [](TForm1& f) { f.findChild<QAction*>("StoreHostSetupFile")->trigger(); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
