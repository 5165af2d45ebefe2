// The host port's room for a setup, judged from the record Send would send, and the comparison
// that tells whether the logger took a sent setup.
#include <gtest/gtest.h>

#include "setup/line_capacity.h"
#include "setup/record_builders.h"

namespace cv::test {
namespace {

// Real time output with four instruments and every analog channel.
SetupBytes heavySetup(int32_t hostBaud, int rate = 6, int output = 1) {
    SetupRecordBuilder b;
    b.mode(2).host(hostBaud, 8, 0).port(1, 6, 4800).port(2, 1, 19200).port(3, 3, 9600).port(4, 9, 9600).rate(rate).output(output);
    for (int a = 1; a <= 7; ++a) b.analog(a, 1);
    return b.build();
}

struct Room {
    const char* name;
    int32_t hostBaud;
    int rate;
    const char* warning;
    int output = 1;  // real time data and status
};
void PrintTo(const Room& room, std::ostream* out) { *out << room.name; }
class HostPortRoom : public ::testing::TestWithParam<Room> {};
TEST_P(HostPortRoom, WarnsWhenTheSetupsStreamOverfillsTheHostLine) {
    const Room& room = GetParam();
    EXPECT_EQ(setup::lineLoadWarning(setup::estimateLineLoad(heavySetup(room.hostBaud, room.rate, room.output))),
              room.warning);
}
INSTANTIATE_TEST_SUITE_P(
    Speeds, HostPortRoom,
    ::testing::Values(Room{"SixHertzOn9600", 9600, 6, "Host port too slow: this setup sends about 1602 B/s, 9600 baud carries 960 B/s. "
                           "To fit: a faster host speed, or fewer ports or a lower analog rate"},
                      Room{"ThreeHertzOn9600", 9600, 3, "Host port nearly full: this setup sends about 867 of 960 B/s. "
                           "To fit: a faster host speed, or fewer ports or a lower analog rate"},
                      Room{"SixHertzOn115200", 115200, 6, ""},
                      // "Output Logger Port 2" passes port 2's 19200-baud line on, not port 1's 4800
                      Room{"PassThroughOfAFastPort", 9600, 6,
                           "Host port too slow: this setup sends about 1920 B/s, 9600 baud carries 960 B/s. "
                           "To fit: a faster host speed, or fewer ports or a lower analog rate", 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SentSetup, TheLoggersOwnBytesMayDifferButNotAFieldTheHostSent) {
    const SetupBytes sent = heavySetup(9600);
    SetupBytes held = sent;
    held[5] ^= 0xFF;    // reserved
    held[190] ^= 0xFF;  // checksum
    EXPECT_TRUE(setup::sameOwnedFields(sent, held));
    putI16le(&held[setup::offset::kAnalogRate], 4);
    EXPECT_FALSE(setup::sameOwnedFields(sent, held));
}

} // namespace
} // namespace cv::test
