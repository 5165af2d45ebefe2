// The host setup file in the window: start-up from last.cvh, Exit writing it, the Files menu,
// and a round trip through a fresh window for every host mode.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <map>

#include "app/hostmain_window.h"
#include "archive/record_page.h"
#include "archive/recording_screen_qt.h"
#include "link/link_screen_qt.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "settings/host_setup_file.h"
#include "settings/settings_screen_qt.h"
#include "setup/setup_screen_qt.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "widgets/clickable_label.h"
#include "widgets/radio_group.h"
#include "widgets/window_room.h"
#include "support/case_name.h"

namespace cv {
namespace {

namespace fs = std::filesystem;

std::string textOf(const fs::path& file) {
    const auto bytes = test::readFile(file);
    return std::string(bytes.begin(), bytes.end());
}

// A window whose last.cvh lives in its own folder.
struct Host {
    explicit Host(const fs::path& dir) : form(HostEnvironment{clock, dialogs, serial, nullptr, dir}) {}
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form;
    LinkScreen& link() { return *form.linkScreen(); }
    void chooseLoggerPort(int com, int speed) {
        link().LoggerPortCB->setCurrentIndex(com);
        link().LoggerSetupCB->setCurrentIndex(speed);
        link().LoggerPortCBChange();
    }
    void exit() {
        dialogs.answers = {Answer::Ok};
        form.BTExitClick();
    }
};

// What a fresh window writes, with some lines (by number) replaced.
std::string freshFileWith(const std::map<int, std::string>& replaced) {
    test::TempDir dir;
    Host h(dir.path());
    EXPECT_TRUE(h.form.settingsScreen()->saveHostSetup(dir / "f.cvh"));
    const std::string text = textOf(dir / "f.cvh");
    std::string out;
    size_t at = 0;
    for (int number = 0; at < text.size(); ++number) {
        const size_t end = text.find("\r\n", at);
        const auto r = replaced.find(number);
        out += (r != replaced.end() ? r->second : text.substr(at, end - at)) + "\r\n";
        at = end + 2;
    }
    return out;
}

void writeText(const fs::path& file, const std::string& text) { test::writeFile(file, test::textBytes(text)); }

TEST(SettingsWindow, FilesMenuItemsAreLive) {
    test::TempDir dir;
    Host h(dir.path());
    for (const auto& [name, caption] : {std::pair{"LoadHostSetupFile", "Open Corvane Host Setup File (CVH)"},
                                        std::pair{"StoreHostSetupFile", "Save Corvane Host Setup File (CVH)"}}) {
        auto* a = h.form.findChild<QAction*>(name);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_TRUE(a->isEnabled()) << name;
        EXPECT_EQ(a->text(), caption);
    }
}

struct PortCase {
    const char* name;
    bool atStartup;
    int chosenCom;  // the logger's port before a menu load, 0 for none
    int expectedCom, expectedSpeed;
};

struct LineOneRule : ::testing::TestWithParam<PortCase> {};

TEST_P(LineOneRule, MenuLoadKeepsAChosenLoggerPortStartUpAlwaysTakesTheFile) {
    const PortCase& c = GetParam();
    test::TempDir dir;
    const std::string text = freshFileWith({{1, "1 3 5 9 4"}});
    writeText(dir / (c.atStartup ? "last.cvh" : "other.cvh"), text);
    Host h(dir.path());
    if (!c.atStartup) {
        if (c.chosenCom) h.chooseLoggerPort(c.chosenCom, 6);
        h.dialogs.fileAnswers = {(dir / "other.cvh").string()};
        h.form.findChild<QAction*>("LoadHostSetupFile")->trigger();
        ASSERT_EQ(h.dialogs.fileChoices.size(), 1u);
        EXPECT_EQ(h.dialogs.fileChoices[0].title, "Open CV Host Program Setup");
        EXPECT_EQ(h.dialogs.fileChoices[0].filter, "CV Host Setup (*.cvh)|*.cvh");
    }
    EXPECT_EQ(h.link().LoggerPortCB->currentIndex(), c.expectedCom);
    EXPECT_EQ(h.link().LoggerSetupCB->currentIndex(), c.expectedSpeed);
    EXPECT_TRUE(h.serial.line(c.expectedCom)->isOpen);
    EXPECT_EQ(h.serial.line(5)->isOpen, c.expectedCom == 5);
    EXPECT_EQ(h.form.setupScreen()->PStore->text(), "Setup is Not Current");
    EXPECT_TRUE(h.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Loads, LineOneRule,
                         ::testing::Values(PortCase{"AtStartUp", true, 0, 5, 9}, PortCase{"FromMenuWithNoPort", false, 0, 5, 9},
                                           PortCase{"FromMenuWhileOnCom3", false, 3, 3, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LineTwo : ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(LineTwo, OnlyModesOneToEightAreTaken) {
    test::TempDir dir;
    writeText(dir / "last.cvh", freshFileWith({{2, "2 1 " + std::to_string(GetParam().first)}}));
    Host h(dir.path());
    EXPECT_EQ(h.form.setupScreen()->currentHostMode(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, LineTwo, ::testing::Values(std::pair{0, -1}, std::pair{9, -1}, std::pair{3, 3}, std::pair{8, 8}),
                         [](const auto& i) { return "Value" + std::to_string(i.param.first); });

TEST(SettingsWindow, ADamagedLastSetupIsReportedAndTheWindowStartsWithNoMode) {
    test::TempDir dir;
    writeText(dir / "last.cvh", freshFileWith({{1, "1 3 5 9 4"}, {2, "2 1 3"}, {6, "6 11 0 0 x"}}));
    Host h(dir.path());
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    EXPECT_EQ(h.dialogs.boxes[0].caption, "Invalid Record in *.CVH File - The CVH File was NOT Loaded E4");
    EXPECT_EQ(h.form.setupScreen()->currentHostMode(), -1);
    EXPECT_EQ(h.link().LoggerPortCB->currentIndex(), 0);
    EXPECT_FALSE(h.link().LoggerPortGB->isHidden());
}

TEST(SettingsWindow, SaveFromTheMenuAddsTheExtensionAndReportsAFileThatCannotBeWritten) {
    test::TempDir dir;
    Host h(dir.path());
    QAction* store = h.form.findChild<QAction*>("StoreHostSetupFile");
    h.dialogs.fileAnswers = {std::nullopt, (dir / "named").string(), (dir / "blocked.cvh").string()};
    store->trigger();  // cancelled
    EXPECT_TRUE(fs::is_empty(dir.path()));
    store->trigger();
    ASSERT_TRUE(fs::exists(dir / "named.cvh"));
    EXPECT_EQ(textOf(dir / "named.cvh").substr(0, 22), "CV Host Version=7.06\r\n");
    EXPECT_EQ(h.dialogs.fileChoices[1].title, "Save CV Host Program Setup");
    EXPECT_EQ(h.dialogs.fileChoices[1].filter, "CV Host Setup (*.cvh)|*.cvh");
    EXPECT_TRUE(h.dialogs.boxes.empty());
    fs::create_directory(dir / "blocked.cvh.tmp");
    store->trigger();
    ASSERT_EQ(h.dialogs.boxes.size(), 1u);
    EXPECT_EQ(h.dialogs.boxes[0].caption, "Save CV Host Program Setup");
    EXPECT_FALSE(fs::exists(dir / "blocked.cvh"));
}

TEST(SettingsWindow, ExitWritesLastSetupOrSaysItCouldNotAndEndsAnyway) {
    test::TempDir dir;
    {
        Host h(dir.path());
        h.dialogs.answers = {Answer::Cancel};
        h.form.BTExitClick();
        EXPECT_FALSE(fs::exists(dir / "last.cvh"));
        h.exit();
        EXPECT_TRUE(fs::exists(dir / "last.cvh"));
        EXPECT_EQ(h.dialogs.boxes.size(), 2u);
    }
    fs::create_directory(dir / "last.cvh.tmp");
    Host h(dir.path());
    h.chooseLoggerPort(2, 6);
    h.exit();
    ASSERT_EQ(h.dialogs.boxes.size(), 2u);
    EXPECT_EQ(h.dialogs.boxes[1].caption, "Save CV Host Program Setup");
    EXPECT_FALSE(h.serial.line(2)->isOpen);
}

// The title bar's close button, Alt+F4 and a desktop logout all close the window: the Exit
// question, once, and on OK what Exit does.
TEST(SettingsWindow, ClosingTheWindowTakesTheExitPath) {
    test::TempDir dir;
    Host h(dir.path());
    h.chooseLoggerPort(2, 6);
    h.dialogs.answers = {Answer::Cancel};
    EXPECT_FALSE(h.form.close());
    EXPECT_FALSE(fs::exists(dir / "last.cvh"));
    EXPECT_TRUE(h.serial.line(2)->isOpen);
    h.dialogs.answers = {Answer::Ok};
    EXPECT_TRUE(h.form.close());
    ASSERT_EQ(h.dialogs.boxes.size(), 2u);
    EXPECT_EQ(h.dialogs.boxes[1].text, "EXIT Program?");
    EXPECT_TRUE(fs::exists(dir / "last.cvh"));
    EXPECT_FALSE(h.serial.line(2)->isOpen);
}

// Line 3 from a damaged or foreign file: the window stays within the room its screen has.
TEST(SettingsWindow, AnAbsurdWindowSizeIsKeptOnTheScreen) {
    test::TempDir dir;
    writeText(dir / "big.cvh", freshFileWith({{3, "3 3 0 32767 32767"}}));
    Host h(dir.path());
    ASSERT_TRUE(h.form.settingsScreen()->loadHostSetup(dir / "big.cvh", false));
    const QSize room = roomForWindow(&h.form);
    EXPECT_LE(h.form.height(), room.height());
    EXPECT_LE(h.form.width(), room.width());
    EXPECT_LT(room.height(), 32767);
}

// Every control the file carries, set away from its start-up value, then the host mode.
void setEverything(TForm1& f) {
    f.linkScreen()->LoggerPortCB->setCurrentIndex(4);
    f.linkScreen()->LoggerSetupCB->setCurrentIndex(8);
    f.linkScreen()->LoggerPortCBChange();
    RealTimePage& rt = *f.streamScreen()->page();
    rt.RawPortCB->setCurrentIndex(5);
    rt.RawMuxIDUD->setValue(3);
    f.uploadScreen()->page()->ExtractFilesRG->setItemIndex(1);
    f.recordingScreen()->page()->ReplaySpeedUD->setValue(4);
    f.findChild<QAction*>("MenuAutoTimeUpdate")->setChecked(false);
    f.findChild<QAction*>("MenuMooredTimeUpdate")->setChecked(true);
    PcLoggerPage& pc = *f.pcLoggerScreen()->page();
    pc.UDDeckRate->setValue(5);
    pc.CBRecordPCTime->setChecked(true);
    pc.PortTypeCB[0]->setCurrentIndex(1);  // a meter input on COM 6
    pc.DeckPortCB[0]->setCurrentIndex(6);
    pc.DeckSetupCB[0]->setCurrentIndex(7);
    pc.PortTypeCB[1]->setCurrentIndex(2);  // a logger output on COM 7
    pc.DeckPortCB[1]->setCurrentIndex(7);
    pc.UDDeckType[1]->setValue(3);
    pc.UDOutPort[1]->setValue(2);
    f.pcLoggerScreen()->PortType1CBChange();
    f.pcLoggerScreen()->BTLoadDeckClick();
}

struct RoundTrip : ::testing::TestWithParam<int> {};

TEST_P(RoundTrip, AFreshWindowLoadsWhatAnotherSavedAndSavesItTheSame) {
    test::TempDir dir;
    std::string saved;
    {
        Host a(dir.path());
        setEverything(a.form);
        a.form.setupScreen()->setupDisplayMode(GetParam());
        a.form.findChild<QComboBox*>("CBHostPortSetup")->setCurrentIndex(3);
        a.exit();
        saved = textOf(dir / "last.cvh");
    }
    test::TempDir other;
    Host fresh(other.path());
    ASSERT_TRUE(fresh.form.settingsScreen()->saveHostSetup(other / "fresh.cvh"));
    EXPECT_NE(textOf(other / "fresh.cvh"), saved);

    Host b(dir.path());
    EXPECT_TRUE(b.dialogs.boxes.empty());
    ASSERT_TRUE(b.form.settingsScreen()->saveHostSetup(other / "b.cvh"));
    EXPECT_EQ(textOf(other / "b.cvh"), saved);
    EXPECT_EQ(b.form.setupScreen()->currentHostMode(), GetParam());
    EXPECT_EQ(b.form.streamScreen()->page()->RawMuxIDUD->value(), 3);
    const bool portKept = GetParam() != 8;  // the PC-Logger mode closes the logger port
    EXPECT_EQ(b.link().LoggerPortCB->currentIndex(), portKept ? 4 : 0);
    EXPECT_EQ(b.serial.line(4)->isOpen, portKept);
}

INSTANTIATE_TEST_SUITE_P(HostModes, RoundTrip, ::testing::Values(-1, 1, 2, 3, 4, 5, 6, 7, 8),
                         [](const auto& i) { return "HostMode" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

} // namespace
} // namespace cv
