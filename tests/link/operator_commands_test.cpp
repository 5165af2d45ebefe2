// A command the operator starts on a port that takes nothing gives one box naming the port and
// reports that it did not go out; a command that goes out says nothing.
#include <gtest/gtest.h>

#include "link/command_sender.h"
#include "link/operator_commands.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv {
namespace {

enum class PortState { Open, NoneChosen, Lost, Refusing, QueueFull };

struct NotSentCase {
    PortState state;
    const char* textStart;  // empty: the command goes out and no box is shown
};

void PrintTo(const NotSentCase& c, std::ostream* os) {
    const char* names[] = {"Open", "NoneChosen", "Lost", "Refusing", "QueueFull"};
    *os << names[int(c.state)];
}

class OperatorCommands : public ::testing::TestWithParam<NotSentCase> {};

TEST_P(OperatorCommands, OneBoxNamingThePortAndNothingGoesOnAsSent) {
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    WarningBox warnings(dialogs);
    PortSlotTable ports(serial, dialogs);
    PortCommandSender line(ports);
    OperatorCommandSender sender(line, ports, warnings);
    auto com2 = serial.line(2);
    if (GetParam().state != PortState::NoneChosen) ports.openPortSlot(kLoggerSlot, 2, 6);
    if (GetParam().state == PortState::Lost) com2->unplug();
    if (GetParam().state == PortState::Refusing) com2->refuseWrites = true;
    if (GetParam().state == PortState::QueueFull) com2->writeRoom = 5;

    const bool sent = sender.sendCommand(cmd::kStop);
    const std::string expected = GetParam().textStart;
    EXPECT_EQ(sent, expected.empty());
    if (expected.empty()) {
        EXPECT_TRUE(dialogs.boxes.empty());
        return;
    }
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Nothing Sent to the Logger");
    EXPECT_EQ(dialogs.boxes[0].text.rfind(expected, 0), 0u) << dialogs.boxes[0].text;
}

INSTANTIATE_TEST_SUITE_P(
    States, OperatorCommands,
    ::testing::Values(NotSentCase{PortState::Open, ""},
                      NotSentCase{PortState::NoneChosen, "No logger port is open, so nothing was sent"},
                      NotSentCase{PortState::Lost, "COM2 has gone away, so nothing was sent"},
                      NotSentCase{PortState::Refusing, "COM2 did not take the whole command"},
                      NotSentCase{PortState::QueueFull, "COM2 did not take the whole command"}),
                         ::cv::test::ReadableName());

} // namespace
} // namespace cv
