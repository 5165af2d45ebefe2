// The hardware configuration, calibration and port-test blocks byte for byte, the password rule
// and the box limits, with plain inputs.
#include <gtest/gtest.h>

#include <fstream>

#include "hardware/port_test.h"
#include "hardware/analog_calibration.h"
#include "hardware/hardware_config.h"
#include "hardware/password.h"
#include "hardware/record_file.h"
#include "base/bytes.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv {
namespace {

using test::bytesOf;

template <size_t N>
std::vector<uint8_t> vec(const std::array<uint8_t, N>& a) { return {a.begin(), a.end()}; }

TEST(HardwareRecord, KnownScreenEncodesByteForByteKeepingTheReservedBytes) {
    hardware::HardwareRecord held{};
    held[10] = 0x21, held[11] = 0x43, held[12] = 0x65, held[13] = 0x07;  // as received
    held[14] = 0x55;                                                      // slot 0 is always sent as 0
    hardware::HardwareValues v;
    v.serialNumber = 250;
    v.deviceType = 2;
    v.statusLed = 1;
    v.runStop = 3;
    v.relays = {1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 0, 9, 9, 9, 9, 5, 6, 7, 8};
    hardware::encodeHardware(held, v);
    EXPECT_EQ(vec(held), bytesOf("07 07 FA 00 02 00 01 00 03 00 21 43 65 07 00 00 01 00 02 00 03 00 04 00 05 00 06 "
                                 "00 07 00 08 00 00 00 09 00 09 00 00 00 09 00 09 00 09 00 09 00 05 00 06 00 07 00 "
                                 "08 00 52 02"));
    const hardware::HardwareValues back = hardware::decodeHardware(held);
    EXPECT_EQ(back.relays, v.relays);
    EXPECT_EQ(back.serialNumber, 250);
}

TEST(HardwareRecord, ANegativeSerialNumberShowsAsZeroAndIsNotSendable) {
    hardware::HardwareRecord r{};
    r[2] = 0xFB, r[3] = 0xFF;  // -5
    const hardware::HardwareValues v = hardware::decodeHardware(r);
    EXPECT_EQ(v.serialNumber, 0);
    EXPECT_FALSE(hardware::hardwareSendable(v));
    hardware::HardwareValues none;
    none.serialNumber = 5;
    EXPECT_FALSE(hardware::hardwareSendable(none));  // no kind chosen
    none.deviceType = 0;                              // "None Selected" is a choice
    EXPECT_TRUE(hardware::hardwareSendable(none));
}

struct HardwareChangeCase {
    const char* name;
    size_t offset;
    int16_t reported;
    std::vector<ChangedField> changed;
};
void PrintTo(const HardwareChangeCase& c, std::ostream* os) { *os << c.name; }
class HardwareChanges : public ::testing::TestWithParam<HardwareChangeCase> {};
TEST_P(HardwareChanges, NamesEachValueThePageCannotShowAsItCame) {
    hardware::HardwareRecord r{};
    putI16le(&r[2], 7);
    putI16le(&r[GetParam().offset], GetParam().reported);
    std::vector<ChangedField> changed;
    hardware::decodeHardware(r, &changed);
    EXPECT_EQ(changed, GetParam().changed);
}
INSTANTIATE_TEST_SUITE_P(
    Fields, HardwareChanges,
    ::testing::Values(HardwareChangeCase{"InRange", 8, 3, {}},
                      HardwareChangeCase{"NegativeSerial", 2, -5, {{"Serial Number", "-5", "0"}}},
                      HardwareChangeCase{"Kind", 4, 4, {{"Device/Meter Type", "4", "no choice"}}},
                      HardwareChangeCase{"Switch", 8, -1, {{"Run/Stop Switch", "-1", "no choice"}}},
                      HardwareChangeCase{"AnalogRelay", 34 + 2, 10, {{"Analog port 10 relay", "10", "no choice"}}},
                      HardwareChangeCase{"PumpRelay", 48 + 6, 255, {{"Pump power port 19 relay", "255", "no choice"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CalibrationRecord, ValuesOutsideTheLimitsAreNamedWithWhatWouldBeSent) {
    hardware::CalibrationValues v;
    v.scale.fill(790);
    v.offset.fill(0);
    v.scale[0] = 0;
    v.offset[3] = 32701;
    v.scale[7] = 32700;
    EXPECT_EQ(hardware::unsendableCalibration(v),
              (std::vector<ChangedField>{{"Battery scale", "0", "1"}, {"Analog 3 offset", "32701", "32700"}}));
}

TEST(CalibrationRecord, KnownScreenEncodesByteForByte) {
    hardware::CalibrationValues v;
    v.offset = {200, 150, 150, 150, 0, 150, 32700, 150};
    v.scale = {790, 5325, 5325, 1, 5325, 32700, 5325, 5325};
    const hardware::AnalogRecord r = hardware::encodeCalibration(v);
    EXPECT_EQ(vec(r), bytesOf("06 06 0F 00 01 00 00 00 C8 00 96 00 96 00 96 00 00 00 96 00 BC 7F 96 00 16 03 CD 14 "
                              "CD 14 01 00 CD 14 BC 7F CD 14 CD 14 00 00 C7 0A"));
    const hardware::CalibrationValues back = hardware::decodeCalibration(r);
    EXPECT_EQ(back.scale, v.scale);
    EXPECT_EQ(back.offset, v.offset);
    EXPECT_EQ(hardware::calibrationBoxText(790), "  790");
}

struct BoxCase {
    const char* text;
    int lower;
    int value;
    bool hasNumber;
};
class CalibrationBox : public ::testing::TestWithParam<BoxCase> {};
TEST_P(CalibrationBox, ReadsWithinItsLimits) {
    const hardware::BoxReading r = hardware::readCalibrationBox(GetParam().text, GetParam().lower);
    EXPECT_EQ(r.value, GetParam().value);
    EXPECT_EQ(r.hasNumber, GetParam().hasNumber);
}
INSTANTIATE_TEST_SUITE_P(Limits, CalibrationBox,
                         ::testing::Values(BoxCase{"    0", hardware::kScaleLower, 1, true},
                                           BoxCase{"   0", hardware::kOffsetLower, 0, true},
                                           BoxCase{"40000", hardware::kScaleLower, 32700, true},
                                           BoxCase{"99999", hardware::kScaleLower, 32700, true},
                                           BoxCase{"  790", hardware::kScaleLower, 790, true},
                                           BoxCase{"-1234", hardware::kScaleLower, 1, true},
                                           BoxCase{"-32768", hardware::kOffsetLower, 0, true},
                                           BoxCase{"12 34", hardware::kScaleLower, 12, true},
                                           BoxCase{"     ", hardware::kScaleLower, 1, false},
                                           BoxCase{"", hardware::kOffsetLower, 0, false},
                                           BoxCase{"99999999999999999999", hardware::kScaleLower, 32700, true}),
                         [](const auto& i) { return std::string(i.param.lower == hardware::kScaleLower ? "Scale_" : "Offset_") + ::cv::test::caseName(i.param.text); });

struct PasswordCase {
    const char* typed;
    bool accepted;
};
class Password : public ::testing::TestWithParam<PasswordCase> {};
TEST_P(Password, OnlyTheFirstNineCharactersCountAndTheirCase) {
    EXPECT_EQ(hardware::passwordAccepted(GetParam().typed), GetParam().accepted);
}
INSTANTIATE_TEST_SUITE_P(Rule, Password,
                         ::testing::Values(PasswordCase{"BlueHeron", true}, PasswordCase{"BlueHeron and more", true},
                                           PasswordCase{"blueheron", false}, PasswordCase{"BLUEHERON", false},
                                           PasswordCase{"BlueHero", false}, PasswordCase{"", false},
                                           PasswordCase{"Enter Password", false}),
                         [](const auto& i) { return ::cv::test::caseName(i.param.typed); });

TEST(Password, FirstRefusalOfTheProgramsLifeSaysWhatIsNeededLaterOnesSayCapsLock) {
    hardware::PasswordCheck check;
    std::string text;
    EXPECT_FALSE(check.check("blueheron", text));
    EXPECT_EQ(text, hardware::kFirstRefusalText);
    EXPECT_TRUE(check.check("BlueHeron", text));
    EXPECT_FALSE(check.check("x", text));
    EXPECT_EQ(text, hardware::kLaterRefusalText);
}

struct PortTestCase {
    int port, test, host;
    const char* bytes;
};
class PortTestBlock : public ::testing::TestWithParam<PortTestCase> {};
TEST_P(PortTestBlock, CarriesPortAndBothLineSettingsBigEndian) {
    const PortTestCase& c = GetParam();
    const porttest::Block b =
        porttest::buildPortTestBlock(c.port, porttest::lineSettingFor(c.test), porttest::lineSettingFor(c.host));
    EXPECT_EQ(vec(b), bytesOf(c.bytes));
}
INSTANTIATE_TEST_SUITE_P(
    Examples, PortTestBlock,
    ::testing::Values(  // "Port 3" at "19200", host "9600"
        PortTestCase{2, 8, 6, "0A 0A 00 03 00 00 4B 00 00 00 25 80 00 00 00 00 00 08 00 08 00 00 17 01"},
        // "Analog Ports" at "4800,7,E,1", host "115200"
        PortTestCase{8, 5, 11, "0A 0A 00 09 00 00 12 C0 00 01 C2 00 00 02 00 00 00 07 00 08 00 00 C3 01"}),
                         [](const auto& i) { return "Port" + std::to_string(i.param.port); });

TEST(RecordFile, AShortOrMissingFileLeavesTheRecordAsItWasAndAFailedSaveTheOldFile) {
    test::TempDir dir;
    std::array<uint8_t, 44> record{};
    record.fill(0xEE);
    const auto before = record;
    {
        std::ofstream(dir / "short.alg", std::ios::binary) << "0123456789";
    }
    EXPECT_EQ(hardware::readRecordFile(dir / "short.alg", record.data(), record.size()), hardware::FileOutcome::Short);
    EXPECT_EQ(hardware::readRecordFile(dir / "none.alg", record.data(), record.size()),
              hardware::FileOutcome::CannotOpen);
    EXPECT_EQ(hardware::writeRecordFile(dir / "no" / "dir.alg", record.data(), record.size()),
              hardware::FileOutcome::CannotOpen);
    EXPECT_EQ(record, before);

    std::filesystem::create_directory(dir / "short.alg.tmp");
    EXPECT_NE(hardware::writeRecordFile(dir / "short.alg", record.data(), record.size()), hardware::FileOutcome::Ok);
    EXPECT_EQ(test::readFile(dir / "short.alg"), test::textBytes("0123456789"));
}

} // namespace
} // namespace cv
