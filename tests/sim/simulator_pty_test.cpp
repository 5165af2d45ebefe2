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
#include "simulator.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

using namespace std::chrono_literals;
constexpr auto kDeadline = 5s;

// Status record fields.
int16_t statusState(const LoggerPacket& p) { return le16s(p.bytes, 4); }
int16_t statusRun(const LoggerPacket& p) { return le16s(p.bytes, 6); }
int32_t statusClock(const LoggerPacket& p) { return int32_t(le32(p.bytes, 8)); }
uint32_t statusTimeLeft(const LoggerPacket& p) { return le32(p.bytes, 12); }
int16_t statusLoggerId(const LoggerPacket& p) { return le16s(p.bytes, 20); }
uint16_t statusSerialMask(const LoggerPacket& p) { return le16(p.bytes, 22); }
int16_t statusPortRate(const LoggerPacket& p, int port) { return le16s(p.bytes, 28 + 2 * size_t(port)); }

Kr8SimOptions fastOptions() {
    Kr8SimOptions o;
    o.statusInterval = 200ms;
    o.streamInterval = 200ms;
    o.ackTimeout = 150ms;
    o.clearMemoryTime = 300ms;
    o.seed = 42;
    return o;
}

class SimulatorOverPty : public ::testing::Test {
protected:
    void start(Kr8SimOptions options = fastOptions()) {
        sim = std::make_unique<Kr8Simulator>(std::move(options));
        const std::string path = sim->startPty();
        line = std::make_unique<LoggerLine>(path);
        ASSERT_TRUE(sim->waitForConnection(kDeadline));
    }
    std::optional<LoggerPacket> statusWhere(const std::function<bool(const LoggerPacket&)>& pred) {
        return line->next([&](const LoggerPacket& p) { return p.type == 3 && pred(p); }, kDeadline);
    }
    std::vector<uint8_t> getSetup() {
        line->write(bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
        auto setup = line->nextOfType(1);
        return setup ? setup->bytes : std::vector<uint8_t>{};
    }
    void TearDown() override {
        line.reset();
        sim.reset();
    }

    std::unique_ptr<Kr8Simulator> sim;
    std::unique_ptr<LoggerLine> line;
};

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
    const auto got = sim->waitForCommand(c.code, kDeadline);
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
    ASSERT_TRUE(sim->waitForBlock(1, kDeadline));
    EXPECT_EQ(getSetup(), setup);
    const auto kept = sim->receivedSetups();
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
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().bytesReceived >= 12 + 192; }, kDeadline));
    EXPECT_EQ(getSetup(), original);
    EXPECT_TRUE(sim->receivedSetups().empty());
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
                                           Identity{3, 4, 0x70030F06, 0x0007, 0x07, 0x01}));

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
    EXPECT_EQ(sim->loggerId(), 3);
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
    const int64_t wake = sim->loggerClock() + 2;
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
    sim->sendFlashErrorCount(3);
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
    ASSERT_TRUE(sim->waitForBlock(7, kDeadline));
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
        ASSERT_TRUE(sim->waitUntil([&] { return sim->receivedTexts().size() > logged; }, kDeadline)) << step.text;
        EXPECT_EQ(sim->receivedTexts().back(), step.text);
        logged = sim->receivedTexts().size();
        EXPECT_TRUE(sim->waitForState(step.stateAfter, kDeadline)) << step.text;
    }
    // Stop as the host sends it: the packet, then the break text at once.
    auto stop = bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01");
    const std::string breakText = "    BREAKBREAKBREAK";
    stop.insert(stop.end(), breakText.begin(), breakText.end());
    line->write(stop);
    ASSERT_TRUE(sim->waitForText(breakText, kDeadline));
    EXPECT_EQ(sim->receivedTexts().back(), breakText);
    EXPECT_EQ(sim->receivedCommands(0xA1A1).size(), 1u);
}

TEST_F(SimulatorOverPty, PortTestPassesInstrumentTextUntilStopped) {
    start();
    const auto block = bytesOf("0A 0A 00 03 00 00 4B 00 00 00 25 80 00 00 00 00 00 08 00 08 00 00 17 01");
    line->write(block);
    const auto got = sim->waitForBlock(10, kDeadline);
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
    ASSERT_TRUE(sim->waitUntil([&] { return sim->sentMuxPackets().size() >= 40; }, kDeadline));
    line->write(bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01"));
    ASSERT_TRUE(statusWhere([](const LoggerPacket& p) { return statusState(p) == 30; }));
    const auto sent = sim->sentMuxPackets();
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

// --- Directory and upload ---------------------------------------------------------------------------

// The Summary record (type 11) payload of a run file, whose fields are big-endian.
std::vector<uint8_t> simulatorSummaryOf(const std::vector<uint8_t>& run) {
    size_t pos = 0;
    while (pos + 4 <= run.size()) {
        const int size = le16s(run, pos);
        if (size < 1 || pos + 4 + size_t(size) > run.size()) break;
        if (le16s(run, pos + 2) == 11) return {run.begin() + long(pos + 4), run.begin() + long(pos + 4 + size_t(size))};
        pos += 4 + size_t(size);
    }
    return {};
}

TEST_F(SimulatorOverPty, DirectoryListsEveryRunAsItsSummarySaysAndUploadsAreByteIdentical) {
    start();
    const auto numbers = sim->generateRuns(3, 7);
    ASSERT_EQ(numbers.size(), 3u);
    line->write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    for (int16_t number : numbers) {
        const auto entry = line->nextOfType(5);
        ASSERT_TRUE(entry);
        const auto& e = entry->bytes;
        const auto run = *sim->runBytes(number);
        const auto summary = simulatorSummaryOf(run);
        ASSERT_GE(summary.size(), 196u);
        EXPECT_EQ(le16s(e, 2), number);
        EXPECT_EQ(le16s(e, 4), int16_t(be16(summary, 2)));                   // mode
        for (size_t port = 1; port <= 8; ++port)
            EXPECT_EQ(le16s(e, 6 + 2 * port), int16_t(be16(summary, 12 + 2 * port))) << "port " << port;
        for (size_t channel = 0; channel < 7; ++channel)
            EXPECT_EQ(le16s(e, 26 + 2 * channel), int16_t(be16(summary, 130 + 2 * channel)));
        EXPECT_EQ(le32(e, 48), (uint32_t(be16(summary, 176)) << 16) | be16(summary, 178));  // start time
        EXPECT_EQ(le32(e, 52), run.size());
        EXPECT_EQ(le16s(e, 56), int16_t(be16(summary, 192)));
        EXPECT_EQ(le16s(e, 58), int16_t(be16(summary, 194)));
    }
    for (int16_t number : numbers) {
        const auto upload = uploadRun(*line, number);
        ASSERT_TRUE(upload.finished);
        EXPECT_EQ(upload.bytes, *sim->runBytes(number));
        EXPECT_EQ(upload.duplicates, 0u);
        for (size_t i = 1; i < upload.blockNumbers.size(); ++i)
            EXPECT_NE(upload.blockNumbers[i], upload.blockNumbers[i - 1]);
    }
    EXPECT_TRUE(sim->waitForState(9, kDeadline));
}

TEST_F(SimulatorOverPty, ARunLoadedFromAFileIsListedAndUploadedAsTheFileIs) {
    start();
    TempDir dir;
    const auto path = dir / "run.012";
    sim::RunFileOptions options;
    options.seed = 21;
    options.targetSize = 3000;
    options.runNumber = 12;
    ASSERT_TRUE(sim::RunFileGenerator(options).writeFile(path));
    std::string error;
    ASSERT_TRUE(sim->addRunFile(12, path, &error)) << error;
    EXPECT_FALSE(sim->addRunFile(13, dir / "run.013", &error));
    line->write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    const auto entry = line->nextOfType(5);
    ASSERT_TRUE(entry);
    EXPECT_EQ(le16s(entry->bytes, 2), 12);
    EXPECT_EQ(le32(entry->bytes, 52), std::filesystem::file_size(path));
    const auto upload = uploadRun(*line, 12);
    ASSERT_TRUE(upload.finished);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(upload.bytes, file);
}

TEST_F(SimulatorOverPty, LostAcknowledgementsBringDuplicatesButTheFileArrivesWhole) {
    auto options = fastOptions();
    options.faults.lostAckFraction = 0.5;
    start(options);
    const int16_t run = sim->generateRuns(1, 11).front();
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->runBytes(run));
    EXPECT_GT(upload.duplicates, 0u);
    EXPECT_EQ(upload.duplicates, sim->stats().acksIgnored);
}

TEST_F(SimulatorOverPty, CorruptedBlocksFailTheirChecksumAndAreRepeated) {
    auto options = fastOptions();
    options.faults.corruptFraction = 0.3;
    start(options);
    const int16_t run = sim->generateRuns(1, 12).front();
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->runBytes(run));
    EXPECT_GT(line->badUploadCandidates(), 0u);
    EXPECT_EQ(line->badUploadCandidates(), sim->stats().corruptedBlocks);
}

TEST_F(SimulatorOverPty, ThrottledLineStillDeliversTheRun) {
    auto options = fastOptions();
    options.faults.throttleBytesPerSecond = 40000;
    start(options);
    const int16_t run = sim->generateRuns(1, 13).front();
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->runBytes(run));
}

TEST_F(SimulatorOverPty, CancelInTheAcknowledgementEndsTheRunWithACountZeroBlock) {
    start();
    const int16_t run = sim->generateRuns(1, 3).front();
    ASSERT_GT(sim->runBytes(run)->size(), 1024u);
    const auto upload = uploadRun(*line, run, /*cancelAtFirst=*/true);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.blockNumbers.size(), 2u);  // one data block, then the end
    EXPECT_EQ(upload.bytes.size(), 1024u);
    EXPECT_EQ(sim->stats().uploadsCancelled, 1u);
    EXPECT_TRUE(sim->waitForState(9, kDeadline));
}

TEST_F(SimulatorOverPty, AWithheldFirstBlockComesOnTheRepeatedRequest) {
    auto options = fastOptions();
    options.faults.withheldFirstBlocks = 1;
    start(options);
    const int16_t run = sim->generateRuns(1, 5).front();
    line->write(commandBytes(0xBABA, uint16_t(run)));
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().firstBlocksWithheld == 1; }, kDeadline));
    EXPECT_EQ(sim->stats().uploadBlocksSent, 0u);
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->runBytes(run));
}

TEST_F(SimulatorOverPty, AnUnknownRunIsAnsweredWithAnEmptyFile) {
    start();
    const auto upload = uploadRun(*line, 99);
    ASSERT_TRUE(upload.finished);
    EXPECT_TRUE(upload.bytes.empty());
    EXPECT_EQ(upload.blockNumbers.size(), 1u);
}

TEST_F(SimulatorOverPty, ClearMemoryEmptiesTheDirectory) {
    start();
    sim->generateRuns(2, 9);
    // Answers keep the order of the requests and the line keeps the order of what was sent: the
    // directory asked for behind the clear is the emptied one, whose entries would come before
    // the setup asked for behind it, and every status after that setup was made after the clear.
    // (Whether a status catches the clearing itself depends on how busy the machine is.)
    auto requests = bytesOf("02 02 BD BD 00 00 00 00 01 00 7F 01");
    for (const char* request : {"02 02 B8 B8 00 00 00 00 00 00 74 01", "02 02 AC AC 00 00 00 00 00 00 5C 01"}) {
        const auto bytes = bytesOf(request);
        requests.insert(requests.end(), bytes.begin(), bytes.end());
    }
    line->write(requests);
    const auto first = line->next([](const LoggerPacket& p) { return p.type == 5 || p.type == 1; });
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, 1);
    EXPECT_TRUE(sim->runNumbers().empty());
    EXPECT_TRUE(statusWhere([](const LoggerPacket& p) { return statusState(p) == 9; })) << "back in Standby";
}

// --- Line faults ------------------------------------------------------------------------------------

TEST_F(SimulatorOverPty, BaudMismatchSendsBytesThatNeverFrameAndUnderstandsNothing) {
    auto options = fastOptions();
    options.faults.baudMismatch = true;
    start(options);
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().garbageBytesSent >= 3 * 132; }, kDeadline));
    const auto bytes = line->readRaw(3 * 132, kDeadline);
    EXPECT_GE(bytes.size(), 3u * 132);
    EXPECT_TRUE(framePackets(bytes).empty());
    line->write(bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().bytesIgnored >= 12; }, kDeadline));
    EXPECT_TRUE(sim->received().empty());
}

TEST_F(SimulatorOverPty, WrongLineSpeedGivesGarbageUntilTheHostFollows) {
    auto options = fastOptions();
    options.checkLineSpeed = true;
    start(options);
    line->setLine(B38400, 8);
    const uint64_t before = sim->stats().garbageBytesSent;
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().garbageBytesSent >= before + 2 * 132; }, kDeadline));
    line->readAvailable();
    line->readRaw(0, 0ms);  // forget what came before
    const uint64_t mark = sim->stats().garbageBytesSent;
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().garbageBytesSent >= mark + 2 * 132; }, kDeadline));
    EXPECT_TRUE(framePackets(line->readRaw(2 * 132, kDeadline)).empty());
    line->setLine(B9600, 8);
    EXPECT_TRUE(line->nextOfType(3));
}

TEST_F(SimulatorOverPty, SilentLoggerSendsNothingButStillObeys) {
    auto options = fastOptions();
    options.faults.silent = true;
    start(options);
    line->write(bytesOf("02 02 A6 A6 00 00 00 00 03 00 53 01"));
    line->write(bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
    ASSERT_TRUE(sim->waitForCommand(0xACAC, kDeadline));
    EXPECT_EQ(sim->loggerId(), 3);
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().statusPeriods >= 3; }, kDeadline));
    EXPECT_EQ(line->readAvailable(), 0u);
    EXPECT_EQ(sim->stats().bytesSent, 0u);
}

TEST_F(SimulatorOverPty, AHostThatLeavesAndComesBackGetsNoStaleBytes) {
    start();
    const std::string path = sim->devicePath();
    ASSERT_TRUE(line->nextOfType(3));
    line.reset();
    ASSERT_TRUE(sim->waitUntil([&] { return !sim->isConnected(); }, kDeadline));
    const uint64_t dropped = sim->stats().bytesDropped;
    ASSERT_TRUE(sim->waitUntil([&] { return sim->stats().bytesDropped > dropped; }, kDeadline));
    line = std::make_unique<LoggerLine>(path);
    ASSERT_TRUE(sim->waitForConnection(kDeadline));
    const auto status = line->nextOfType(3);
    ASSERT_TRUE(status);
    EXPECT_EQ(line->droppedBytes(), 0u) << "the first bytes after opening start a packet";
}

} // namespace
} // namespace cv::test
