#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <tuple>

#include "base/bytes.h"
#include "setup/record_builders.h"
#include "setup/setup_record.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

using namespace cv::setup;

SetupControls decoded(std::array<uint8_t, 192> r) { return decodeSetup(r).controls; }

// Decodes a record and encodes the screen back into the same buffer, as Get Setup followed by
// Send Setup does.
std::array<uint8_t, 192> roundTrip(std::array<uint8_t, 192> r, bool meter = false) {
    SetupBytes held = r;
    const SetupControls c = decodeSetup(held).controls;
    encodeSetup(c, meter, held);
    return held;
}

TEST(SpeedChoice, EveryPortChoiceSurvivesItsOwnTriple) {
    for (int choice = 0; choice <= kSpeedOn; ++choice) {
        const SpeedTriple t = speedTripleOf(choice);
        EXPECT_EQ(speedChoiceOf(t.baud, t.dataBits), choice) << choice;
    }
    EXPECT_EQ(speedTripleOf(kSpeedOn), (SpeedTriple{0, 7, 0}));
    EXPECT_EQ(speedTripleOf(7), (SpeedTriple{9600, 7, 2}));
    EXPECT_EQ(speedTripleOf(13), (SpeedTriple{9600, 8, 0}));
    EXPECT_EQ(speedTripleOf(-1), (SpeedTriple{9600, 8, 0}));
    EXPECT_EQ(speedChoiceOf(31250, 8), kSpeed9600);
}

struct ScheduleCase {
    int32_t seconds;
    ScheduleValue shown;
};
class ScheduleMapping : public ::testing::TestWithParam<ScheduleCase> {};
TEST_P(ScheduleMapping, ShowsTheLargestWholeUnitAndEncodesBack) {
    const auto& p = GetParam();
    EXPECT_EQ(scheduleToScreen(p.seconds), p.shown);
    EXPECT_EQ(scheduleFromScreen(p.shown.number, p.shown.unit), p.seconds);
}
INSTANTIATE_TEST_SUITE_P(Units, ScheduleMapping,
                         ::testing::Values(ScheduleCase{7200, {2, kHours}}, ScheduleCase{120, {2, kMinutes}},
                                           ScheduleCase{90, {90, kSeconds}}, ScheduleCase{0, {0, kSeconds}},
                                           ScheduleCase{3600, {1, kHours}}, ScheduleCase{5, {5, kSeconds}}),
                         [](const auto& i) { return std::to_string(i.param.seconds) + "Seconds"; });

TEST(ScheduleMapping, UnitWithoutSelectionEncodesZero) { EXPECT_EQ(scheduleFromScreen(10, -1), 0); }

// A setup as a logger in normal use reports it: decoding and encoding it again must give the
// logger back exactly the bytes it sent, reserved bytes included.
TEST(SetupRoundTrip, NormalRecordComesBackByteForByte) {
    const auto original = SetupRecordBuilder()
                              .mode(kModeMoored)
                              .mask(serialHourBit(0) | serialHourBit(2) | analogHourBit(1) | pumpHourBit(3))
                              .schedule(kDelay, 60)
                              .schedule(kPreFlush, 30)
                              .schedule(kWarmup, 7200)
                              .schedule(kFlush, 45)
                              .schedule(kSample, 120)
                              .schedule(kInterval, 3600)
                              .host(19200, 8, 0)
                              .port(1, porttype::kBq5, 19200)
                              .port(2, porttype::kMfx, 9600)
                              .port(3, 3, 4800, 7, 2)
                              .port(4, porttype::kPump, 0, 7, 0)
                              .port(5, 12, 115200)
                              .cutOffAll(72)
                              .analog(1, 1)
                              .analog(3, 2)
                              .pump(1, 1)
                              .pump(4, 7)
                              .rate(4)
                              .output(1)
                              .file(1)
                              .autoStart(1)
                              .reserved()
                              .build();
    EXPECT_EQ(roundTrip(original), original);
}

TEST(SetupRoundTrip, OnlyTheNamedNormalisationsChangeAnUnusualRecord) {
    auto r = SetupRecordBuilder()
                 .mode(kModeProfile)
                 .mask(0xFFFFFFFF)
                 .host(0, 8, 0)
                 .port(1, porttype::kOff, 9600)
                 .port(2, 3, 31250)
                 .cutOff(0, 120)
                 .cutOff(1, 130)
                 .cutOff(2, 80)
                 .analog(2, 9)
                 .rate(0)
                 .timeSource(2)
                 .reserved();
    putI16le(&r.r[144], 77);
    putI16le(&r.r[72], 5);  // host entry type
    const auto original = r.build();
    const auto back = roundTrip(original);

    EXPECT_EQ(getU32le(&back[8]), 0u) << "mask outside moored modes";
    EXPECT_EQ(getI32le(&back[36]), 9600) << "host baud 0 shows and goes back as 9600";
    EXPECT_EQ(getI32le(&back[40]), 0) << "a port of type 0 is off whatever its baud";
    EXPECT_EQ(getI32le(&back[44]), 9600) << "unknown baud taken as 9600";
    for (int e = 0; e < 9; ++e) EXPECT_EQ(getI16le(&back[126 + 2 * size_t(e)]), 80) << e;
    EXPECT_EQ(getI16le(&back[148]), 0) << "analog setting outside 0..2";
    EXPECT_EQ(getI16le(&back[170]), 1);
    EXPECT_EQ(getI16le(&back[186]), 0);
    EXPECT_EQ(getI16le(&back[144]), 0);
    EXPECT_EQ(getI16le(&back[72]), 0);
    EXPECT_EQ(getU16le(&back[190]), blockChecksum(back.data(), 190));

    std::vector<size_t> changed;
    for (size_t i = 0; i < 190; ++i)
        if (back[i] != original[i]) changed.push_back(i);
    std::vector<size_t> allowed{8, 9, 10, 11, 36, 37, 40, 41, 44, 45, 46, 72, 144, 148, 170, 186};
    for (size_t i = 126; i < 144; ++i) allowed.push_back(i);  // the nine cut-off entries
    for (size_t i : changed)
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), i), allowed.end()) << "byte " << i << " changed";
}

TEST(SetupEncode, ReservedBytesAreZeroBeforeAnySetupWasReceived) {
    SetupControls c = decoded(SetupRecordBuilder().port(1, 3, 9600).build());
    SetupBytes held{};
    encodeSetup(c, false, held);
    for (size_t at : {4, 5, 6, 7, 168, 169, 176, 177, 178, 179, 182, 183, 184, 185, 188, 189}) EXPECT_EQ(held[at], 0) << at;
    EXPECT_EQ(getU16le(&held[0]), 0x0101);
}

struct PortCase {
    const char* name;
    int type;
    int speedChoice;
    SpeedTriple sent;
    int shownAgain;
};
class PortEncoding : public ::testing::TestWithParam<PortCase> {};
TEST_P(PortEncoding, SpeedTripleSentAndShownAfterwards) {
    const auto& p = GetParam();
    SetupControls c = decoded(SetupRecordBuilder().build());
    c.portType[2] = p.type;
    c.portSpeed[2] = p.speedChoice;
    SetupBytes held{};
    encodeSetup(c, false, held);
    EXPECT_EQ(getI32le(&held[36 + 12]), p.sent.baud);
    EXPECT_EQ(getI16le(&held[90 + 6]), p.sent.dataBits);
    EXPECT_EQ(getI16le(&held[108 + 6]), p.sent.parity);
    EXPECT_EQ(decodeSetup(held).controls.portSpeed[2], p.shownAgain);
}
INSTANTIATE_TEST_SUITE_P(
    Ports, PortEncoding,
    ::testing::Values(PortCase{"PumpOn", porttype::kPump, kSpeedOn, {0, 7, 0}, kSpeedOn},
                      PortCase{"PumpAnySpeedIsOn", porttype::kPump, 6, {0, 7, 0}, kSpeedOn},
                      PortCase{"PumpOff", porttype::kPump, kSpeedOff, {0, 8, 0}, kSpeedOff},
                      PortCase{"OnWithoutPumpIsOff", 3, kSpeedOn, {0, 8, 0}, kSpeedOff},
                      PortCase{"SevenEvenOne", 3, 5, {4800, 7, 2}, 5},
                      PortCase{"Plain", porttype::kBinary, 11, {115200, 8, 0}, 11}),
    [](const auto& info) { return info.param.name; });

TEST(SetupDecode, HostPortSpeedFollowsTheLoggerAndUnknownIs9600) {
    SetupBytes r = SetupRecordBuilder().host(0, 8, 0).build();
    EXPECT_EQ(decodeSetup(r).controls.hostSpeed, 6);
    r = SetupRecordBuilder().host(0, 7, 0).build();
    EXPECT_EQ(decodeSetup(r).controls.hostSpeed, 6) << "0 baud with 7 bits is no ON for the host port";
    r = SetupRecordBuilder().host(57600, 8, 0).build();
    const DecodedSetup d = decodeSetup(r);
    EXPECT_EQ(d.controls.hostSpeed, 10);
    EXPECT_EQ(d.hostBaud, 57600);
    r = SetupRecordBuilder().host(9600, 7, 2).build();
    EXPECT_EQ(decodeSetup(r).controls.hostSpeed, 7);
}

TEST(SetupDecode, CutOffTakesTheLargestEntryOfInstalledPortsAndNeverBelow65) {
    EXPECT_EQ(decoded(SetupRecordBuilder().port(1, 3, 9600).cutOffAll(50).build()).lvCutOff, 65);
    EXPECT_EQ(decoded(SetupRecordBuilder().port(1, 3, 9600).cutOff(0, 120).cutOff(2, 110).build()).lvCutOff, 65)
        << "host entry and type-0 ports are not consulted";
    EXPECT_EQ(decoded(SetupRecordBuilder().port(1, 3, 9600).port(4, 1, 9600).cutOff(1, 70).cutOff(4, 99).build()).lvCutOff, 99);
    EXPECT_EQ(lowVoltageText(65), " 6.5 V");
    EXPECT_EQ(lowVoltageText(140), "14.0 V");
}

TEST(SetupDecode, AnalogRateBelowOneIsCorrectedInTheRecordToo) {
    for (int rate : {0, -3}) {
        SetupBytes r = SetupRecordBuilder().rate(rate).build();
        EXPECT_EQ(decodeSetup(r).controls.analogRate, 1);
        EXPECT_EQ(getI16le(&r[170]), 1);
    }
    EXPECT_EQ(analogRateText(1), "1 Hz  1000 ms");
    EXPECT_EQ(analogRateText(8), "8 Hz   125 ms");
}

TEST(SetupDecode, TypeCodeThirteenIsNamedButHasNoComboItem) {
    const DecodedSetup d = [] {
        SetupBytes r = SetupRecordBuilder().port(6, 13, 9600).port(7, 40, 9600).build();
        return decodeSetup(r);
    }();
    EXPECT_EQ(d.dataStatusTypes[5], "CV-Logger");
    EXPECT_EQ(d.controls.portType[5], -1);
    EXPECT_EQ(d.controls.portSpeed[5], kSpeed9600);
    EXPECT_EQ(d.dataStatusTypes[6], "OFF");
    EXPECT_EQ(d.dataStatusTypes[0], "Off");
    EXPECT_FALSE(selectionsComplete(d.controls));
}

TEST(SetupDecode, ScheduleLargerThanItsSpinnerIsHeldAtTheLimit) {
    const SetupControls c = decoded(SetupRecordBuilder().schedule(kDelay, 360000 + 1).schedule(kSample, 70000).build());
    EXPECT_EQ(c.scheduleNumber[kDelay], 100);
    EXPECT_EQ(c.scheduleNumber[kSample], 10000) << "saturates instead of wrapping through 16 bits";
}

struct ChangedCase {
    const char* name;
    std::function<void(SetupRecordBuilder&)> report;
    std::vector<ChangedField> changed;
};
void PrintTo(const ChangedCase& c, std::ostream* os) { *os << c.name; }
class ChangedOnDecode : public ::testing::TestWithParam<ChangedCase> {};
TEST_P(ChangedOnDecode, NamesEveryValueTheScreenCannotHold) {
    SetupRecordBuilder b;
    b.port(2, 3, 9600);
    GetParam().report(b);
    SetupBytes r = b.build();
    EXPECT_EQ(decodeSetup(r).changed, GetParam().changed);
}
INSTANTIATE_TEST_SUITE_P(
    Fields, ChangedOnDecode,
    ::testing::Values(
        ChangedCase{"InRange", [](auto& b) { b.schedule(kDelay, 100).cutOffAll(140).rate(20).analog(1, 2); }, {}},
        ChangedCase{"BelowTheCutOffFloor", [](auto& b) { b.cutOffAll(0); }, {}},
        ChangedCase{"Delay",
                    [](auto& b) { b.schedule(kDelay, 150); },
                    {{"Delay Before Start", "150 s", "100 Seconds"}}},
        ChangedCase{"SampleZeroAndNegativeFlush",
                    [](auto& b) { b.schedule(kSample, 0).schedule(kFlush, -60); },
                    {{"Meter Flush", "-60 s", "0 Minutes"}, {"Sample", "0 s", "1 Seconds"}}},
        ChangedCase{"CutOff", [](auto& b) { b.cutOff(2, 150); }, {{"Low Voltage Cut-Off", "15.0 V", "14.0 V"}}},
        ChangedCase{"RateZeroIsACorrection", [](auto& b) { b.rate(0); }, {}},
        ChangedCase{"RateHigh", [](auto& b) { b.rate(50); }, {{"Analog Sample Rate", "50 Hz", "20 Hz"}}},
        ChangedCase{"AnalogSetting", [](auto& b) { b.analog(3, 7); }, {{"Analog 3", "7", "OFF"}}},
        ChangedCase{"UnknownBauds",
                    [](auto& b) { b.host(14400, 8, 0).port(5, 4, 31250); },
                    {{"Host Port baud rate", "14400 baud", "9600"}, {"Port 5 baud rate", "31250 baud", "9600"}}}),
    [](const auto& info) { return info.param.name; });

TEST(SetupDecode, ChangedFieldsMakeOneWarningText) {
    EXPECT_EQ(changedFieldsText({{"Delay Before Start", "150 s", "100 Seconds"}, {"Analog 3", "7", "OFF"}}),
              "The logger reported values these controls cannot hold. They are shown changed, and Send Setup would "
              "send them changed:\n\nDelay Before Start: 150 s shown as 100 Seconds\nAnalog 3: 7 shown as OFF");
}

TEST(SetupEncode, ControlsKeepingTheReportedValueSendItUnchanged) {
    const auto original = SetupRecordBuilder()
                              .mode(kModeMoored)
                              .mask(serialHourBit(2))
                              .port(3, 13, 4800, 7, 2)
                              .pump(2, 9)
                              .output(30)
                              .file(1)
                              .schedule(kInterval, 90)
                              .cutOffAll(65)
                              .build();
    SetupBytes held = original;
    SetupControls c = decodeSetup(held).controls;
    ASSERT_EQ(c.portType[2], -1);
    c.portType[2] = c.portSpeed[2] = c.pump[1] = c.output = c.mode = c.scheduleUnit[kInterval] = kKeepReceived;
    c.scheduleNumber[kInterval] = 7;
    const EncodeResult r = encodeSetup(c, false, held);
    EXPECT_EQ(held, original);
    EXPECT_EQ(r.shown.portType[2], kKeepReceived) << "the screen is left without a choice";
}

struct RateCase {
    const char* name;
    int mode;
    int meterType;
    int rate;
    int sent;
    int32_t speed = 9600;  // a port without a speed is off
};
void PrintTo(const RateCase& c, std::ostream* os) { *os << c.name; }
class AnalogRateOnSend : public ::testing::TestWithParam<RateCase> {};
TEST_P(AnalogRateOnSend, FastMetersRaiseItAndLoggingModesCapIt) {
    const auto& p = GetParam();
    SetupControls c = decoded(SetupRecordBuilder().port(2, p.meterType, p.speed).build());
    c.mode = p.mode;
    c.analogRate = p.rate;
    SetupBytes held{};
    const EncodeResult r = encodeSetup(c, false, held);
    EXPECT_EQ(getI16le(&held[170]), p.sent);
    EXPECT_EQ(r.shown.analogRate, p.sent);
}
INSTANTIATE_TEST_SUITE_P(Rates, AnalogRateOnSend,
                         ::testing::Values(RateCase{"Bq5", kModeProfile, porttype::kBq5, 1, 2},
                                           RateCase{"Mfx", kModeProfile, porttype::kMfx, 1, 4},
                                           RateCase{"MfxPortOff", kModeProfile, porttype::kMfx, 1, 1, 0},
                                           RateCase{"ProfileCap", kModeProfile, 3, 20, 8},
                                           RateCase{"MooredCap", kModeMoored, 3, 9, 8},
                                           RateCase{"RealTimeKeeps", kModeRealTime, 3, 20, 20},
                                           RateCase{"AnalogKeeps", kModeAnalog, 3, 20, 20}),
                         [](const auto& info) { return info.param.name; });

TEST(SetupEncode, OncePerHourMaskOnlyInMooredModes) {
    SetupControls c = decoded(SetupRecordBuilder().port(1, 3, 9600).build());
    c.oncePerHour = serialHourBit(0) | analogHourBit(6) | pumpHourBit(3);
    for (int mode = 0; mode < kModeCount; ++mode) {
        c.mode = mode;
        SetupBytes held{};
        encodeSetup(c, false, held);
        EXPECT_EQ(getU32le(&held[8]), isMooredMode(mode) ? c.oncePerHour : 0u) << mode;
    }
}

struct MeterCase {
    int chosenType;
    int sentType;
};
class IntegratedMeter : public ::testing::TestWithParam<MeterCase> {};
TEST_P(IntegratedMeter, PortOneRunsAt19200AsOffBinaryOrBq5) {
    SetupControls c = decoded(SetupRecordBuilder().build());
    c.portType[0] = GetParam().chosenType;
    c.portSpeed[0] = 3;
    SetupBytes held{};
    const EncodeResult r = encodeSetup(c, true, held);
    EXPECT_EQ(getI16le(&held[74]), GetParam().sentType);
    EXPECT_EQ(r.shown.portSpeed[0], kSpeed19200);
    EXPECT_EQ(getI32le(&held[40]), 19200);
}
INSTANTIATE_TEST_SUITE_P(Types, IntegratedMeter,
                         ::testing::Values(MeterCase{0, 0}, MeterCase{4, 4}, MeterCase{1, 1}, MeterCase{2, 1}, MeterCase{9, 1}),
                         [](const auto& i) { return "Type" + std::to_string(i.param.chosenType); });

TEST(SetupEncode, TimeSourceIsAlwaysSentAsInternal) {
    SetupControls c = decoded(SetupRecordBuilder().timeSource(3).build());
    EXPECT_EQ(c.timeSource, 3);
    SetupBytes held{};
    EXPECT_EQ(encodeSetup(c, false, held).shown.timeSource, 0);
    EXPECT_EQ(getI16le(&held[186]), 0);
}

TEST(SetupEncode, RealTimeOutputWithStorageIsFlagged) {
    SetupControls c = decoded(SetupRecordBuilder().build());
    SetupBytes held{};
    for (auto [output, file, warned] : {std::tuple{2, 1, true}, std::tuple{2, 0, false}, std::tuple{1, 1, false}}) {
        c.output = output;
        c.file = file;
        EXPECT_EQ(encodeSetup(c, false, held).realTimeWithStorage, warned);
    }
}

TEST(SetupValidation, EveryFeedingComboNeedsASelectionUnlessItKeepsTheReportedValue) {
    const SetupControls good = decoded(SetupRecordBuilder().build());
    ASSERT_TRUE(selectionsComplete(good));
    const std::vector<std::pair<std::function<int&(SetupControls&)>, const char*>> controls{
        {[](auto& c) -> int& { return c.mode; }, "Mode of Operation"},
        {[](auto& c) -> int& { return c.output; }, "Logger Output"},
        {[](auto& c) -> int& { return c.file; }, "Data Storage"},
        {[](auto& c) -> int& { return c.hostSpeed; }, "Host Port baud rate"},
        {[](auto& c) -> int& { return c.portType[7]; }, "Port 8 meter type"},
        {[](auto& c) -> int& { return c.portSpeed[0]; }, "bq5 baud rate"},
        {[](auto& c) -> int& { return c.analog[6]; }, "Analog 7"},
        {[](auto& c) -> int& { return c.pump[3]; }, "Pump 4"},
        {[](auto& c) -> int& { return c.scheduleUnit[5]; }, "Sample Interval units"}};
    PortNames names = defaultPortNames();
    names[0] = "bq5";
    for (const auto& [control, name] : controls) {
        SetupControls c = good;
        control(c) = -1;
        EXPECT_FALSE(selectionsComplete(c)) << name;
        EXPECT_EQ(missingChoices(c, names), std::vector<std::string>{name});
        control(c) = kKeepReceived;
        EXPECT_TRUE(selectionsComplete(c)) << name;
    }
    SetupControls noTimeSource = good;
    noTimeSource.timeSource = -1;
    EXPECT_TRUE(selectionsComplete(noTimeSource));
    EXPECT_FALSE(selectionsComplete(SetupControls{})) << "the start-up screen";
}

TEST(AnalogRateShade, WarnsAboutFastSampling) {
    EXPECT_EQ(analogRateShade(7, 1), Shade::Red);
    EXPECT_EQ(analogRateShade(6, 1), Shade::Silver);
    EXPECT_EQ(analogRateShade(7, 0), Shade::Silver);
    EXPECT_EQ(analogRateShade(11, 0), Shade::Yellow);
    EXPECT_EQ(analogRateShade(10, -1), Shade::Silver);
}

} // namespace
} // namespace cv::test
