// The simulated logger seen from the host's end of a pseudo-terminal: raw bytes in, framed
// packets out, checked against fixed byte examples and the record layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "support/fakes.h"
#include "support/logger_line.h"
#include "run_file_generator.h"
#include "simulator_pty_rig.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv::test {
namespace {


// --- Command packets, byte for byte -------------------------------------------------------------

struct GoldenCommand {
    const char* name;
    const char* hex;
    uint16_t code;
    uint32_t arg32;
    uint16_t arg16;
};

void PrintTo(const GoldenCommand& c, std::ostream* os) { *os << c.name; }

class GoldenCommandTest : public SimulatorOverPty, public ::testing::WithParamInterface<GoldenCommand> {};

TEST_P(GoldenCommandTest, IsUnderstoodWithItsArguments) {
    start();
    const GoldenCommand& c = GetParam();
    const auto bytes = bytesOf(c.hex);
    EXPECT_EQ(commandBytes(c.code, c.arg16, c.arg32), bytes) << "the test's own packet builder disagrees";
    line->write(bytes);
    const auto got = sim->probe().waitForCommand(c.code, kDeadline);
    ASSERT_TRUE(got) << c.name;
    EXPECT_EQ(got->arg32, c.arg32);
    EXPECT_EQ(got->arg16, c.arg16);
    EXPECT_EQ(got->bytes, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    FixedExamples, GoldenCommandTest,
    ::testing::Values(GoldenCommand{"stop", "02 02 A1 A1 00 00 00 00 00 00 46 01", 0xA1A1, 0, 0},
                      GoldenCommand{"begin", "02 02 A2 A2 00 00 00 00 00 00 48 01", 0xA2A2, 0, 0},
                      GoldenCommand{"get_setup", "02 02 AC AC 00 00 00 00 00 00 5C 01", 0xACAC, 0, 0},
                      GoldenCommand{"get_directory", "02 02 B8 B8 00 00 00 00 00 00 74 01", 0xB8B8, 0, 0},
                      GoldenCommand{"set_mux_id_3", "02 02 A6 A6 00 00 00 00 03 00 53 01", 0xA6A6, 0, 3},
                      GoldenCommand{"clear_memory", "02 02 BD BD 00 00 00 00 01 00 7F 01", 0xBDBD, 0, 1},
                      GoldenCommand{"set_time_1000", "02 02 AE AE E8 03 00 00 00 00 4B 02", 0xAEAE, 1000, 0},
                      GoldenCommand{"rs422", "02 02 B5 B5 00 00 00 00 00 00 6E 01", 0xB5B5, 0, 0},
                      GoldenCommand{"rs232", "02 02 B4 B4 00 00 00 00 00 00 6C 01", 0xB4B4, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Setup ----------------------------------------------------------------------------------------

TEST_F(SimulatorOverPty, GetSetupAnswersA192ByteSetupAt9600With8DataBitsAndFilledReservedBytes) {
    start();
    const auto setup = getSetup();
    ASSERT_EQ(setup.size(), 192u);
    EXPECT_EQ(setup[0], 1);
    EXPECT_EQ(setup[1], 1);
    EXPECT_TRUE(checksumHolds(setup));
    EXPECT_EQ(le32(setup, 36), 9600u);  // host port
    EXPECT_EQ(le16(setup, 90), 8);
    EXPECT_EQ(le16(setup, 108), 0);
    EXPECT_EQ(le16(setup, 72), 0);      // the host port carries no port type
    for (size_t at : {4, 5, 6, 7, 144, 145, 168, 169, 176, 177, 178, 179, 182, 183, 184, 185, 188, 189})
        EXPECT_NE(setup[at], 0) << "reserved byte " << at;
    const int rate = le16s(setup, 170);
    EXPECT_GE(rate, 1);
    EXPECT_LE(rate, 20);
}

TEST_F(SimulatorOverPty, ASentSetupIsAdoptedAndComesBackByteForByte) {
    start();
    auto setup = getSetup();
    ASSERT_EQ(setup.size(), 192u);
    setup[2] = 1;                        // Moored Mode
    setup[5] = 0xEE;                     // a reserved byte the logger must keep as sent
    setup[72 + 2 * 5] = 8;               // port 5: Remote Host at 9600
    setup[36 + 4 * 5] = 0x80;
    setup[36 + 4 * 5 + 1] = 0x25;
    reframe(setup);
    line->write(setup);
    ASSERT_TRUE(sim->probe().waitForBlock(1, kDeadline));
    EXPECT_EQ(getSetup(), setup);
    const auto kept = sim->probe().receivedSetups();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(std::equal(kept[0].begin(), kept[0].end(), setup.begin()));
    // A remote host on an installed port shows in the status.
    EXPECT_TRUE(statusWhere([](const LoggerPacket& p) { return (statusSerialMask(p) & 0x0200) != 0; }));
}

TEST_F(SimulatorOverPty, ASetupWithABadChecksumIsNotAdopted) {
    start();
    const auto original = getSetup();
    ASSERT_EQ(original.size(), 192u);
    auto damaged = original;
    damaged[2] = 1;  // changed without a new checksum
    line->write(damaged);
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().bytesReceived >= 12 + 192; }, kDeadline));
    EXPECT_EQ(getSetup(), original);
    EXPECT_TRUE(sim->probe().receivedSetups().empty());
}

// --- Status ---------------------------------------------------------------------------------------

TEST_F(SimulatorOverPty, StatusComesOnItsOwnFramedAndPlausible) {
    start(Kr8SimOptions{});  // once a second, as a logger does
    for (int i = 0; i < 2; ++i) {
        const auto status = line->nextOfType(3, kDeadline);
        ASSERT_TRUE(status) << "status " << i;
        const auto& b = status->bytes;
        ASSERT_EQ(b.size(), 132u);
        EXPECT_EQ(statusState(*status), 9);                 // Standby
        EXPECT_EQ(le16s(b, 18), 2);                         // KR-8
        EXPECT_EQ(statusLoggerId(*status), 2);
        EXPECT_EQ(le32(b, 124) >> 28, 7u);                  // firmware 7.06
        EXPECT_EQ((le32(b, 124) >> 20) & 0xFF, 6u);
        EXPECT_LE(std::abs(int64_t(statusClock(*status)) - localWallClock()), 5);
        EXPECT_EQ(statusSerialMask(*status), 0x00FF);
        EXPECT_EQ(le16(b, 24), 0x7F);
        EXPECT_EQ(le16(b, 26), 0x0F);
        EXPECT_EQ(le16s(b, 54), 2);                         // RUN
        EXPECT_GT(le16s(b, 48), 10000);                     // a charged battery, in millivolts
        EXPECT_LT(le16s(b, 48), 14000);
        const int32_t freeBytes = int32_t(le32(b, 116));
        const int32_t totalBytes = int32_t(le32(b, 120));
        EXPECT_GT(freeBytes, 0);
        EXPECT_LE(freeBytes, totalBytes);
    }
}

struct Identity {
    int16_t deviceType;
    int16_t loggerId;
    uint32_t firmware;
    uint16_t serialMask;
    uint16_t analogMask;
    uint16_t pumpMask;
};

void PrintTo(const Identity& id, std::ostream* os) {
    *os << "device type " << id.deviceType << ", logger ID " << id.loggerId;
}

class IdentityTest : public SimulatorOverPty, public ::testing::WithParamInterface<Identity> {};

TEST_P(IdentityTest, StatusAndHardwareReportTheBuild) {
    const Identity& id = GetParam();
    auto options = fastOptions();
    options.deviceType = id.deviceType;
    options.loggerId = id.loggerId;
    options.firmwareWord = id.firmware;
    start(options);
    const auto status = line->nextOfType(3);
    ASSERT_TRUE(status);
    EXPECT_EQ(le16s(status->bytes, 18), id.deviceType);
    EXPECT_EQ(statusLoggerId(*status), id.loggerId);
    EXPECT_EQ(le32(status->bytes, 124), id.firmware);
    EXPECT_EQ(statusSerialMask(*status), id.serialMask);
    EXPECT_EQ(le16(status->bytes, 24), id.analogMask);
    EXPECT_EQ(le16(status->bytes, 26), id.pumpMask);
    line->write(commandBytes(0xA8A8));
    const auto hardware = line->nextOfType(7);
    ASSERT_TRUE(hardware);
    EXPECT_EQ(hardware->bytes.size(), 58u);
    EXPECT_EQ(le16s(hardware->bytes, 4), id.deviceType);
    EXPECT_GT(le16s(hardware->bytes, 2), 0);  // serial number
}

INSTANTIATE_TEST_SUITE_P(Builds, IdentityTest,
                         ::testing::Values(Identity{2, 2, 0x70630F06, 0x00FF, 0x7F, 0x0F},
                                           Identity{1, 3, 0x65A1010A, 0x000F, 0x0F, 0x03},
                                           Identity{3, 4, 0x70030F06, 0x0007, 0x07, 0x01}),
                         [](const auto& i) { return "DeviceType" + std::to_string(i.param.deviceType); });

TEST_F(SimulatorOverPty, SetTimeSetsTheLoggerClock) {
    start();
    const int64_t target = localWallClock() + 3600;
    line->write(commandBytes(0xAEAE, 0, uint32_t(target)));
    const auto status = statusWhere([&](const LoggerPacket& p) { return std::abs(statusClock(p) - target) <= 3; });
    EXPECT_TRUE(status);
}

TEST_F(SimulatorOverPty, SetMuxIdChangesTheReportedLoggerId) {
    start();
    line->write(bytesOf("02 02 A6 A6 00 00 00 00 03 00 53 01"));
    EXPECT_TRUE(statusWhere([](const LoggerPacket& p) { return statusLoggerId(p) == 3; }));
    EXPECT_EQ(sim->logger().loggerId(), 3);
}

TEST_F(SimulatorOverPty, InterfaceSwitchShowsInTheSerialPortMask) {
    start();
    line->write(bytesOf("02 02 B5 B5 00 00 00 00 00 00 6E 01"));
    EXPECT_TRUE(statusWhere([](const LoggerPacket& p) { return (statusSerialMask(p) & 0x0100) != 0; }));
    line->write(bytesOf("02 02 B4 B4 00 00 00 00 00 00 6C 01"));
    EXPECT_TRUE(statusWhere([](const LoggerPacket& p) { return (statusSerialMask(p) & 0x0100) == 0; }));
}

TEST_F(SimulatorOverPty, SleepUntilSleepsQuietlyAndWakesAtTheGivenTime) {
    start();
    const int64_t wake = sim->logger().loggerClock() + 2;
    line->write(commandBytes(0xA7A7, 0, uint32_t(wake)));
    const auto asleep = statusWhere([](const LoggerPacket& p) { return statusState(p) == 8; });
    ASSERT_TRUE(asleep);
    EXPECT_LE(statusTimeLeft(*asleep), 2u);
    // The next word from the logger is the status after waking.
    const auto next = line->nextOfType(3, 6s);
    ASSERT_TRUE(next);
    EXPECT_EQ(statusState(*next), 9);
    EXPECT_GE(statusClock(*next), wake);
}

TEST_F(SimulatorOverPty, FlashErrorCountGoesOutAsATypeTwoPacket) {
    start();
    sim->logger().sendFlashErrorCount(3);
    const auto packet = line->nextOfType(2);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->bytes, bytesOf("02 02 03 00 00 00 00 00 00 00 07 00"));
}

TEST_F(SimulatorOverPty, HardwareAndCalibrationAreAnsweredAndAdopted) {
    start();
    line->write(commandBytes(0xADAD));
    const auto analog = line->nextOfType(6);
    ASSERT_TRUE(analog);
    EXPECT_EQ(analog->bytes.size(), 44u);
    EXPECT_EQ(le16s(analog->bytes, 2), 15);
    EXPECT_EQ(le32(analog->bytes, 4), 1u);
    EXPECT_EQ(le16s(analog->bytes, 24), 790);  // battery scale

    line->write(commandBytes(0xA8A8));
    auto hardware = line->nextOfType(7);
    ASSERT_TRUE(hardware);
    auto changed = hardware->bytes;
    changed[2] = 0x2A;  // serial number 42
    changed[3] = 0;
    changed[10] = 0x99;  // reserved bytes travel unchanged
    reframe(changed);
    line->write(changed);
    ASSERT_TRUE(sim->probe().waitForBlock(7, kDeadline));
    line->write(commandBytes(0xA8A8));
    const auto again = line->nextOfType(7);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->bytes, changed);
}

// --- Raw texts and the port test ------------------------------------------------------------------

TEST_F(SimulatorOverPty, RawTextsAreLoggedAsSentAndObeyed) {
    start();
    struct Step {
        std::string text;
        int16_t stateAfter;
    };
    const Step steps[] = {{" WAKE", 9}, {"SLEEP", 8}, {" WAKE", 9}, {"    STOP7E1STOP7E1", 9}, {"hello logger\r\n", 9}};
    size_t logged = 0;
    for (const Step& step : steps) {
        line->write(step.text);
        ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().receivedTexts().size() > logged; }, kDeadline)) << step.text;
        EXPECT_EQ(sim->probe().receivedTexts().back(), step.text);
        logged = sim->probe().receivedTexts().size();
        EXPECT_TRUE(sim->logger().waitForState(step.stateAfter, kDeadline)) << step.text;
    }
    // Stop as the host sends it: the packet, then the break text at once.
    auto stop = bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01");
    const std::string breakText = "    BREAKBREAKBREAK";
    stop.insert(stop.end(), breakText.begin(), breakText.end());
    line->write(stop);
    ASSERT_TRUE(sim->probe().waitForText(breakText, kDeadline));
    EXPECT_EQ(sim->probe().receivedTexts().back(), breakText);
    EXPECT_EQ(sim->probe().receivedCommands(0xA1A1).size(), 1u);
}

TEST_F(SimulatorOverPty, PortTestPassesInstrumentTextUntilStopped) {
    start();
    const auto block = bytesOf("0A 0A 00 03 00 00 4B 00 00 00 25 80 00 00 00 00 00 08 00 08 00 00 17 01");
    line->write(block);
    const auto got = sim->probe().waitForBlock(10, kDeadline);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->bytes, block);
    EXPECT_TRUE(line->readUntilText("PORT 3 TEST 19200,8,N,1", kDeadline));
    auto stop = bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01");
    const std::string breakText = "    BREAKBREAKBREAK";
    stop.insert(stop.end(), breakText.begin(), breakText.end());
    line->write(stop);
    EXPECT_TRUE(line->nextOfType(3));
}

// --- Sampling and the live stream -----------------------------------------------------------------

std::vector<std::vector<uint8_t>> krmuxPayloads(const std::vector<uint8_t>& run) {
    std::vector<std::vector<uint8_t>> out;
    size_t pos = 0;
    while (pos + 4 <= run.size()) {
        const int size = le16s(run, pos);
        const int type = le16s(run, pos + 2);
        if (size < 1 || pos + 4 + size_t(size) > run.size()) break;
        if (type == 23) out.emplace_back(run.begin() + long(pos + 4), run.begin() + long(pos + 4 + size_t(size)));
        pos += 4 + size_t(size);
    }
    return out;
}

TEST_F(SimulatorOverPty, BeginStreamsMuxPacketsAndStopLeavesARunMadeOfThem) {
    start();
    line->write(bytesOf("02 02 A2 A2 00 00 00 00 00 00 48 01"));
    const auto sampling = statusWhere([](const LoggerPacket& p) { return statusState(p) == 6; });
    ASSERT_TRUE(sampling);
    std::vector<LoggerPacket> mux;
    for (int i = 0; i < 3; ++i) {
        auto packet = line->nextOfType(8);
        ASSERT_TRUE(packet);
        mux.push_back(*packet);
    }
    for (size_t i = 0; i < mux.size(); ++i) {
        const auto& b = mux[i].bytes;
        EXPECT_EQ(b[4], 2) << "sender unit is the logger ID";
        const size_t payload = be16(b, 6);
        EXPECT_EQ(b.size(), payload + 36);
        size_t sections = 0;
        for (int k = 0; k < 9; ++k) sections += be16(b, 12 + 2 * size_t(k));
        EXPECT_EQ(sections, payload);
        EXPECT_GT(be16(b, 12), 0) << "port 1 carries its instrument's data";
        EXPECT_EQ(be16(b, 12 + 2 * 3), 0) << "port 4 drives a pump";
        if (i > 0) {
            EXPECT_EQ(uint8_t(b[5]), uint8_t(mux[i - 1].bytes[5] + 1)) << "sequence rises by one";
        }
    }
    const auto withRates = statusWhere([](const LoggerPacket& p) { return statusState(p) == 6 && statusPortRate(p, 1) > 0; });
    ASSERT_TRUE(withRates);
    EXPECT_EQ(statusPortRate(*withRates, 4), 0);

    line->write(bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01"));
    const auto ended = statusWhere([](const LoggerPacket& p) { return statusState(p) == 30; });
    ASSERT_TRUE(ended);
    const int16_t run = statusRun(*ended);
    std::vector<std::vector<uint8_t>> streamed;
    for (const auto& p : line->seen())
        if (p.type == 8) streamed.emplace_back(p.bytes.begin() + 2, p.bytes.end() - 2);

    line->write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    const auto entry = line->nextOfType(5);
    ASSERT_TRUE(entry);
    EXPECT_EQ(le16s(entry->bytes, 2), run);
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(le32(entry->bytes, 52), upload.bytes.size());
    EXPECT_EQ(krmuxPayloads(upload.bytes), streamed) << "the run holds exactly what was streamed";
}

TEST_F(SimulatorOverPty, SeveralUnitsWithFaultsSendExactlyWhatTheSentLogHolds) {
    Kr8SimOptions o = fastOptions();
    o.streamInterval = 50ms;
    o.streamUnits = {0, 1, 2};
    o.faults.stream = {.gapEvery = 5, .gapLength = 2, .duplicateEvery = 4, .emptyEvery = 7, .strayUnit = 9, .strayEvery = 3};
    start(o);
    line->write(bytesOf("02 02 A2 A2 00 00 00 00 00 00 48 01"));
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().sentMuxPackets().size() >= 40; }, kDeadline));
    line->write(bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01"));
    ASSERT_TRUE(statusWhere([](const LoggerPacket& p) { return statusState(p) == 30; }));
    const auto sent = sim->probe().sentMuxPackets();
    size_t framed = size_t(std::count_if(line->seen().begin(), line->seen().end(), [](const auto& p) { return p.type == 8; }));
    if (framed < sent.size())
        line->next([&](const LoggerPacket& p) { return p.type == 8 && ++framed == sent.size(); }, kDeadline);
    std::vector<std::vector<uint8_t>> onTheLine;
    for (const auto& p : line->seen())
        if (p.type == 8) onTheLine.push_back(p.bytes);
    ASSERT_EQ(onTheLine.size(), sent.size());
    std::map<uint8_t, int> duplicates;
    for (size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(onTheLine[i], sent[i].packet) << "packet " << i;
        if (sent[i].duplicate) ++duplicates[sent[i].unit];
    }
    for (uint8_t unit : {0, 1, 2}) EXPECT_GT(duplicates[unit], 0) << "unit " << int(unit);
    EXPECT_EQ(line->droppedBytes(), 0u);
}

} // namespace
} // namespace cv::test
