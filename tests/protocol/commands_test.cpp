#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "support/fakes.h"

namespace cv {
namespace {

struct Golden {
    const char* name;
    uint16_t code;
    uint16_t arg16;
    uint32_t arg32;
    const char* hex;
};

class CommandPacketGolden : public ::testing::TestWithParam<Golden> {};

TEST_P(CommandPacketGolden, IsByteExact) {
    const Golden& g = GetParam();
    const CommandPacket p = buildCommandPacket(g.code, g.arg16, g.arg32);
    EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.end()), test::bytesOf(g.hex)) << g.name;
}

INSTANTIATE_TEST_SUITE_P(
    AllListed, CommandPacketGolden,
    ::testing::Values(Golden{"stop", cmd::kStop, 0, 0, "02 02 A1 A1 00 00 00 00 00 00 46 01"},
                      Golden{"begin", cmd::kBegin, 0, 0, "02 02 A2 A2 00 00 00 00 00 00 48 01"},
                      Golden{"getSetup", cmd::kGetSetup, 0, 0, "02 02 AC AC 00 00 00 00 00 00 5C 01"},
                      Golden{"getDirectory", cmd::kGetDirectory, 0, 0, "02 02 B8 B8 00 00 00 00 00 00 74 01"},
                      Golden{"setMuxId3", cmd::kSetMuxId, 3, 0, "02 02 A6 A6 00 00 00 00 03 00 53 01"},
                      Golden{"clearMemory", cmd::kClearMemory, 1, 0, "02 02 BD BD 00 00 00 00 01 00 7F 01"},
                      Golden{"setTime1000", cmd::kSetTime, 0, 1000, "02 02 AE AE E8 03 00 00 00 00 4B 02"},
                      Golden{"rs422", cmd::kSwitchToRs422, 0, 0, "02 02 B5 B5 00 00 00 00 00 00 6E 01"},
                      Golden{"rs232", cmd::kSwitchToRs232, 0, 0, "02 02 B4 B4 00 00 00 00 00 00 6C 01"},
                      // the checksum carries into its high byte
                      Golden{"sleepUntilLargest", cmd::kSleepUntil, 0xFFFF, 0xFFFFFFFF,
                             "02 02 A7 A7 FF FF FF FF FF FF 4C 07"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RawTexts, HaveTheirExactLengths) {
    EXPECT_EQ(std::string(kBreakText).size(), 19u);
    EXPECT_EQ(std::string(kStop7E1Text).size(), 18u);
    EXPECT_EQ(std::string(kWakeText), " WAKE");
    EXPECT_EQ(std::string(kSleepText), "SLEEP");
}

} // namespace
} // namespace cv
