// Telling the logger that answers after a loss from the one before it, by its status alone.
#include <gtest/gtest.h>

#include <functional>

#include "setup/logger_identity.h"

namespace cv::status {
namespace {

struct Change {
    const char* name;
    std::function<void(StatusFields&)> apply;
    bool sameLogger;
};

StatusFields loggerTwo() {
    StatusFields f;
    f.deviceType = 2;
    f.loggerId = 2;
    f.firmware = 0x70600000;
    f.serialMask = 0x000F;
    f.analogMask = 0x7F;
    f.pumpMask = 0x3;
    f.totalMemory = 32 * 1024 * 1024;
    f.state = 6;
    return f;
}

class IdentityAfterLoss : public ::testing::TestWithParam<Change> {};

TEST_P(IdentityAfterLoss, OnlyWhatMakesTheLoggerTellsItApart) {
    LoggerIdentityCheck check;
    EXPECT_EQ(check.statusArrived(loggerTwo()), LoggerIdentityCheck::Verdict::Continuing);
    check.lineInterrupted();
    StatusFields next = loggerTwo();
    GetParam().apply(next);
    EXPECT_EQ(check.statusArrived(next), GetParam().sameLogger ? LoggerIdentityCheck::Verdict::SameLogger
                                                               : LoggerIdentityCheck::Verdict::OtherLogger);
    EXPECT_FALSE(check.checking()) << "one status decides";
}

INSTANTIATE_TEST_SUITE_P(
    Status, IdentityAfterLoss,
    ::testing::Values(Change{"Nothing", [](StatusFields&) {}, true},
                      Change{"State", [](StatusFields& f) { f.state = 9; }, true},
                      Change{"Clock", [](StatusFields& f) { f.loggerClock += 3600; }, true},
                      Change{"RemoteHostAndInterfaceBits", [](StatusFields& f) { f.serialMask |= 0x300; }, true},
                      Change{"LoggerId", [](StatusFields& f) { f.loggerId = 7; }, false},
                      Change{"DeviceType", [](StatusFields& f) { f.deviceType = 1; }, false},
                      Change{"Firmware", [](StatusFields& f) { f.firmware = 0x70700000; }, false},
                      Change{"SerialPorts", [](StatusFields& f) { f.serialMask = 0x00FF; }, false},
                      Change{"Memory", [](StatusFields& f) { f.totalMemory /= 2; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IdentityAfterLoss, NothingToCompareWithBeforeTheFirstStatus) {
    LoggerIdentityCheck check;
    check.lineInterrupted();
    EXPECT_EQ(check.statusArrived(loggerTwo()), LoggerIdentityCheck::Verdict::Unknown);
}

TEST(IdentityAfterLoss, TheMessageNamesBothLoggers) {
    StatusFields other = loggerTwo();
    other.loggerId = 7;
    other.deviceType = 3;
    EXPECT_EQ(otherLoggerText(identityOf(loggerTwo()), identityOf(other)),
              "The logger that answers now is a V-Irov with logger ID 7 (firmware 7.06, 32768 K memory), not the KR-8 "
              "with logger ID 2 (firmware 7.06, 32768 K memory) that answered before.\n\n"
              "What the window shows from now on is this logger's; its setup is being read.");
}

} // namespace
} // namespace cv::status
