#include <gtest/gtest.h>

#include "protocol/host_modes.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

using namespace cv::hostmode;

struct LoggerModeCase {
    int mode;
    bool meter;
    const char* text;
};
class LoggerModeText : public ::testing::TestWithParam<LoggerModeCase> {};
TEST_P(LoggerModeText, NamesTheOperatingMode) {
    EXPECT_EQ(loggerModeText(GetParam().mode, GetParam().meter), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Modes, LoggerModeText,
    ::testing::Values(LoggerModeCase{0, false, "Profile Logging      "}, LoggerModeCase{1, true, "Moored Logging       "},
                      LoggerModeCase{2, false, "Real Time Data       "}, LoggerModeCase{3, false, "Analog Output        "},
                      LoggerModeCase{12, false, "Polled-Moored Logging"}, LoggerModeCase{13, false, "Unknown Mode"},
                      LoggerModeCase{-1, true, "Unknown Mode"}, LoggerModeCase{4, false, "Direct To PORT1"},
                      LoggerModeCase{5, false, "Direct To PORT2"}, LoggerModeCase{11, false, "Direct To PORT8"},
                      LoggerModeCase{4, true, "Direct To bq5"}, LoggerModeCase{5, true, "Direct To PORT1"},
                      LoggerModeCase{7, true, "Direct To PORT3"}, LoggerModeCase{8, true, "Direct To PORT4"},
                      LoggerModeCase{11, true, "Direct To PORT7"}),
                         [](const auto& i) { return "Mode" + ::cv::test::caseName(std::to_string(i.param.mode)) + (i.param.meter ? "WithMeter" : ""); });

TEST(ModeReadouts, MismatchIsRedAndSomeHostModesNeverCompare) {
    EXPECT_EQ(modeReadoutShade(kMooredLogging, true, 0), Shade::Red);
    EXPECT_EQ(modeReadoutShade(kMooredLogging, true, 1), Shade::ButtonFace);
    EXPECT_EQ(modeReadoutShade(kMooredLogging, true, 12), Shade::Red);
    EXPECT_EQ(modeReadoutShade(kAnalogOutput, true, 3), Shade::ButtonFace);
    EXPECT_EQ(modeReadoutShade(kProfileLogging, true, 0), Shade::ButtonFace);
    EXPECT_EQ(modeReadoutShade(kRealTimeOutput, true, 1), Shade::Red);
    for (int mode : {kNone, kAdvancedUser, kBq5PassThru, kPcLogger})
        EXPECT_EQ(modeReadoutShade(mode, true, 0), Shade::ButtonFace) << mode;
    for (int mode : {kNoRequest, kPsm3Output}) EXPECT_FALSE(modeReadoutShade(mode, true, 0)) << mode;
    EXPECT_EQ(modeReadoutShade(kMooredLogging, false, 0), Shade::ButtonFace) << "logger mode not shown yet";
}

TEST(HostModeLayouts, OnlyRealModesHaveALayout) {
    for (int mode : {-1, 1, 2, 3, 4, 5, 8}) EXPECT_NE(layoutFor(mode), nullptr) << mode;
    for (int mode : {0, 6, 7, 9}) {
        EXPECT_EQ(layoutFor(mode), nullptr) << mode;
        EXPECT_TRUE(menuItemsFor(mode).empty()) << mode;
    }
}

} // namespace
} // namespace cv::test
