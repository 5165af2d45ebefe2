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
#include "ports/operator_dialogs.h"
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
    SendWhileSampling() {
        rig.screen->setupDisplayMode(5);
        rig.deliverSetup(test::SetupRecordBuilder().mode(0).port(1, 3, 9600).rate(2).output(1).file(1).build());
        HardwareScreen& hw = *rig.window->hardwareScreen();
        hw.hardwarePage()->DeviceTypeCB->setCurrentIndex(2);
        hw.hardwarePage()->UDSerialNumber->setValue(17);
        hw.hardwarePage()->HWPassword->setText("BlueHeron");
        hw.analogPage()->ALGPassword->setText("BlueHeron");
        rig.dialogs.boxes.clear();
    }
    void sendIn(int state, Answer answer) {
        rig.deliverStatus(test::StatusRecordBuilder().state(state).build());
        rig.dialogs.boxes.clear();
        rig.sink.writes.clear();
        rig.dialogs.answers = {answer};
        GetParam().send(rig);
    }
};

TEST_P(SendWhileSampling, AsksWithNoOnEnterAndSendsOnlyOnYes) {
    sendIn(loggerstate::kSampling, Answer::No);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    const auto& question = rig.dialogs.boxes[0];
    EXPECT_EQ(question.caption, GetParam().caption);
    EXPECT_EQ(question.text, "The logger is sampling: a new setup changes the running cast. Send anyway?");
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.defaultAnswer, Answer::No);
    EXPECT_TRUE(rig.sink.writes.empty());

    sendIn(loggerstate::kSampling, Answer::Yes);
    EXPECT_EQ(rig.sink.writes.size(), 1u);

    sendIn(loggerstate::kStandby, Answer::No);
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << "a logger in standby is not asked about";
    EXPECT_EQ(rig.sink.writes.size(), 1u);
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
