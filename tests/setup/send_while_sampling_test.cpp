// A record that changes how the logger samples goes out mid-cast only when the operator says so.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/hardware_screen_qt.h"
#include "setup/record_builders.h"
#include "setup/setup_fixture.h"
#include "setup/setup_screen_qt.h"

namespace cv {
namespace {

struct SendCase {
    const char* name;
    const char* caption;
    std::function<void(test::SetupRig&)> send;
};
void PrintTo(const SendCase& c, std::ostream* os) { *os << c.name; }

struct SendWhileSampling : ::testing::TestWithParam<SendCase> {
    test::SetupRig rig;
    HardwareScreen& hw = *rig.window->hardwareScreen();
    // The click in a logger in `state`, answered with `answer`: what went out.
    size_t sendIn(int state, Answer answer) {
        rig.deliverStatus(test::StatusRecordBuilder().state(state).build());
        rig.dialogs.boxes.clear();
        rig.sink.writes.clear();
        rig.dialogs.answers = {answer};
        GetParam().send(rig);
        return rig.sink.writes.size();
    }
};

TEST_P(SendWhileSampling, AsksWithNoOnEnterAndSendsOnlyOnYes) {
    rig.screen->setupDisplayMode(5);
    rig.deliverSetup(test::SetupRecordBuilder().mode(0).port(1, 3, 9600).rate(2).output(1).file(1).build());
    hw.hardwarePage()->DeviceTypeCB->setCurrentIndex(2);
    hw.hardwarePage()->UDSerialNumber->setValue(17);
    hw.hardwarePage()->HWPassword->setText("BlueHeron");
    hw.analogPage()->ALGPassword->setText("BlueHeron");

    EXPECT_EQ(sendIn(loggerstate::kSampling, Answer::No), 0u);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    const auto& question = rig.dialogs.boxes[0];
    EXPECT_EQ(question.caption, GetParam().caption);
    EXPECT_EQ(question.text, "The logger is sampling: a new setup changes the running cast. Send anyway?");
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.defaultAnswer, Answer::No);
    EXPECT_EQ(sendIn(loggerstate::kSampling, Answer::Yes), 1u);
    EXPECT_EQ(sendIn(loggerstate::kStandby, Answer::No), 1u);
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << "a logger in standby is not asked about";
}

INSTANTIATE_TEST_SUITE_P(
    Sends, SendWhileSampling,
    ::testing::Values(
        SendCase{"Setup", "Send Setup", [](test::SetupRig& r) { r.clickButton("BTSendSetup1"); }},
        SendCase{"Hardware", "Send Hardware Configuration",
                 [](test::SetupRig& r) { r.window->hardwareScreen()->hardwarePage()->BTSendHardwareSetup->click(); }},
        SendCase{"Calibration", "Send Analog Calibration",
                 [](test::SetupRig& r) { r.window->hardwareScreen()->analogPage()->BTSendAnalogCalibration->click(); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
