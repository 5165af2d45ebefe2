// The simulator's pieces on their own: what it makes of the host's bytes, its line pacing, the
// run files it keeps and the kr8sim command line.
#include <gtest/gtest.h>

#include <fstream>

#include "host_input.h"
#include "kr8sim_cli.h"
#include "line_throttle.h"
#include "support/fakes.h"
#include "support/logger_line.h"
#include "run_recording.h"
#include "run_store.h"
#include "sim_records.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

using namespace std::chrono_literals;
using sim::HostInput;
using sim::HostInputParser;
using Clock = std::chrono::steady_clock;

std::vector<HostInput> parseAll(const std::vector<std::vector<uint8_t>>& chunks) {
    HostInputParser parser;
    Clock::time_point t{};
    for (const auto& chunk : chunks) {
        parser.feed(chunk.data(), chunk.size(), t);
        t += 1ms;
    }
    parser.tick(t + 1s);
    return parser.take();
}


TEST(HostInputParser, CommandSplitOverTwoReadsIsOneCommand) {
    const auto get = bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01");
    const auto items = parseAll({{get.begin(), get.begin() + 5}, {get.begin() + 5, get.end()}});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, HostInput::Kind::Command);
    EXPECT_EQ(items[0].code, 0xACAC);
}

TEST(HostInputParser, TextAroundPacketsKeepsItsOrder) {
    std::vector<uint8_t> stream = bytesOf("02 02 A1 A1 00 00 00 00 00 00 46 01");
    const auto breakText = textBytes("    BREAKBREAKBREAK");
    stream.insert(stream.end(), breakText.begin(), breakText.end());
    const auto setTime = bytesOf("02 02 AE AE E8 03 00 00 00 00 4B 02");
    stream.insert(stream.end(), setTime.begin(), setTime.end());
    const auto items = parseAll({stream});
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].code, 0xA1A1);
    EXPECT_EQ(items[1].text(), "    BREAKBREAKBREAK");
    EXPECT_EQ(items[2].code, 0xAEAE);
    EXPECT_EQ(items[2].arg32, 1000u);
}

TEST(HostInputParser, ABadChecksumMakesNoCommand) {
    auto damaged = bytesOf("02 02 AC AC 00 00 00 00 00 00 5D 01");
    const auto items = parseAll({damaged});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, HostInput::Kind::Text);
    EXPECT_EQ(items[0].bytes, damaged);
}

TEST(HostInputParser, ACrLfLineEndsAtOnceThoughLfLooksLikeABlockHead) {
    // LF is also the type byte of the port-test block.
    HostInputParser parser;
    const auto line = textBytes("hello\r\n");
    parser.feed(line.data(), line.size(), Clock::time_point{});
    const auto items = parser.take();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text(), "hello\r\n");
}

TEST(HostInputParser, AnUnfinishedBlockHeadIsReleasedAsTextAfterAQuietSpell) {
    HostInputParser parser;
    const auto text = textBytes("abc\n\n");
    Clock::time_point t{};
    parser.feed(text.data(), text.size(), t);
    parser.tick(t + 100ms);
    std::string seen;
    for (const auto& item : parser.take()) seen += item.text();
    EXPECT_EQ(seen, "abc") << "the possible head is still held";
    parser.tick(t + 1s);
    for (const auto& item : parser.take()) seen += item.text();
    EXPECT_EQ(seen, "abc\n\n");
    EXPECT_EQ(parser.pendingBytes(), 0u);
}

TEST(HostInputParser, TypedBlocksAreRecognisedByTypeAndLength) {
    std::vector<uint8_t> analog(44, 0);
    analog[0] = analog[1] = 6;
    analog[2] = 15;
    reframe(analog);
    std::vector<uint8_t> hardware(58, 0);
    hardware[0] = hardware[1] = 7;
    reframe(hardware);
    const auto portTest = bytesOf("0A 0A 00 03 00 00 4B 00 00 00 25 80 00 00 00 00 00 08 00 08 00 00 17 01");
    const auto items = parseAll({analog, hardware, portTest});
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].blockType, 6);
    EXPECT_EQ(items[1].blockType, 7);
    EXPECT_EQ(items[2].blockType, 10);
    const auto request = sim::parsePortTest(items[2].bytes.data());
    EXPECT_EQ(request.port, 3);
    EXPECT_EQ(request.testBaud, 19200u);
    EXPECT_EQ(request.hostBaud, 9600u);
    EXPECT_EQ(request.testDataBits, 8);
}

TEST(LineThrottle, PacesToTheRateWithASmallBurst) {
    sim::LineThrottle throttle;
    const Clock::time_point t0{};
    throttle.setRate(11520, t0);
    EXPECT_EQ(throttle.allowance(t0), 0u);
    EXPECT_EQ(throttle.allowance(t0 + 1ms), 11u);
    throttle.consume(11);
    EXPECT_EQ(throttle.allowance(t0 + 1ms), 0u);
    // A long pause buys no more than two milliseconds of bytes: idle line time is not made up.
    EXPECT_EQ(throttle.allowance(t0 + 10s), 23u);
    throttle.setRate(0, t0);
    EXPECT_GT(throttle.allowance(t0), 1u << 30);
}

// A Summary record payload written from the record layout, big-endian fields.
std::vector<uint8_t> summaryRecord() {
    std::vector<uint8_t> p(254, 0);
    auto be16At = [&](size_t at, int v) {
        p[at] = uint8_t(v >> 8);
        p[at + 1] = uint8_t(v);
    };
    be16At(2, 12);                 // Polled Moored Mode
    be16At(12 + 2 * 1, 3);         // port 1 ASCII
    be16At(12 + 2 * 8, 7);         // port 8 pump
    be16At(130 + 2 * 6, 2);        // analog 7 pump on
    be16At(144 + 2 * 1, 1);        // pump 2
    p[176] = 0x44;                 // start time 0x44332211
    p[177] = 0x33;
    p[178] = 0x22;
    p[179] = 0x11;
    be16At(192, 12345);
    be16At(194, 11900);
    std::vector<uint8_t> record = {254, 0, 11, 0};
    record.insert(record.end(), p.begin(), p.end());
    return record;
}

TEST(RunStore, DirectoryFieldsComeFromTheRunFilesSummary) {
    std::vector<uint8_t> file = {3, 0, 1, 0, 'a', 'b', 'c'};  // a METER1 record first
    const auto summary = summaryRecord();
    file.insert(file.end(), summary.begin(), summary.end());
    sim::RunInfo fallback;
    fallback.mode = 0;
    fallback.startTime = 5;
    const sim::RunInfo info = sim::runInfoFromRunFile(4, file, fallback);
    EXPECT_EQ(info.runNumber, 4);
    EXPECT_EQ(info.mode, 12);
    EXPECT_EQ(info.portTypes[0], 3);
    EXPECT_EQ(info.portTypes[7], 7);
    EXPECT_EQ(info.analogUse[6], 2);
    EXPECT_EQ(info.pumps[1], 1);
    EXPECT_EQ(info.startTime, 0x44332211u);
    EXPECT_EQ(info.startMv, 12345);
    EXPECT_EQ(info.endMv, 11900);
    EXPECT_EQ(info.size, file.size());

    const sim::RunInfo unknown = sim::runInfoFromRunFile(5, {0xFF, 0xFF, 0xFF}, fallback);
    EXPECT_EQ(unknown.startTime, 5u) << "a file without a Summary keeps the fallback";
    EXPECT_EQ(unknown.size, 3u);
}

TEST(RunRecording, ARecordedRunIsAWalkableRunFileLedByItsFinishedSummary) {
    sim::RunContext context;
    context.startTime = 1000000;
    context.startMv = 12400;
    context.totalMemory = 1 << 20;
    const sim::SetupRecord setup = sim::defaultSetup();
    sim::RunRecorder recorder(7, setup, context);
    sim::InstrumentSource source(99);
    size_t port1Bytes = 0;
    for (uint32_t tick = 0; tick < 30; ++tick) {
        sim::MuxFrame frame;
        frame.sequence = uint8_t(tick);
        frame.sections = source.next(setup, tick, 1000000 + tick);
        port1Bytes += frame.sections[0].size();
        const auto packet = sim::buildMuxPacket(frame);
        recorder.addMuxRecord(packet.data() + 2, packet.size() - 4);
    }
    const sim::SimRun run = recorder.finish(11900, 5000);
    ASSERT_GT(run.bytes.size(), 4u + 254u);
    EXPECT_EQ(le16s(run.bytes, 0), 254);
    EXPECT_EQ(le16s(run.bytes, 2), 11);
    const size_t summary = 4;
    EXPECT_EQ(be16(run.bytes, summary + 194), 11900) << "final voltage";
    EXPECT_EQ(be16(run.bytes, summary + 200 + 4 + 2), port1Bytes) << "recorded bytes of port 1";
    size_t pos = 0;
    int krmux = 0;
    while (pos < run.bytes.size()) {
        ASSERT_LE(pos + 4, run.bytes.size());
        const int size = le16s(run.bytes, pos);
        const int type = le16s(run.bytes, pos + 2);
        ASSERT_GE(size, 1);
        ASSERT_LE(size, 2080);
        ASSERT_GE(type, 1);
        ASSERT_LE(type, 25);
        if (type == 23) ++krmux;
        pos += 4 + size_t(size);
    }
    EXPECT_EQ(pos, run.bytes.size());
    EXPECT_EQ(krmux, 30);
    EXPECT_EQ(run.info.size, run.bytes.size());
    const sim::RunInfo info = sim::runInfoFromRunFile(7, run.bytes, {});
    EXPECT_EQ(info.startTime, 1000000u);
    EXPECT_EQ(info.startMv, 12400);
    EXPECT_EQ(info.endMv, 11900);
}

TEST(RunStore, RunFilesAreReadWhole) {
    TempDir dir;
    const auto path = dir / "run.004";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string("\x03\x00\x01\x00xyz", 7);
    }
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(sim::readRunFile(path, bytes, error));
    EXPECT_EQ(bytes.size(), 7u);
    EXPECT_FALSE(sim::readRunFile(dir / "missing", bytes, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

struct CliCase {
    std::vector<std::string> args;
    std::string fault;  // empty: the line is used
    std::function<void(const Kr8SimCommandLine&)> check;
};

void PrintTo(const CliCase& c, std::ostream* os) {
    *os << "kr8sim";
    for (const auto& a : c.args) *os << ' ' << a;
}

class Kr8SimCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(Kr8SimCli, ParsesOrRefuses) {
    const CliCase& c = GetParam();
    const Kr8SimCommandLine line = parseKr8SimCommandLine(c.args);
    if (!c.fault.empty()) {
        EXPECT_EQ(line.verdict.kind, cli::Verdict::UsageError);
        EXPECT_EQ(line.verdict.text, c.fault);
    } else {
        if (line.verdict.kind != cli::Verdict::Help) {
            EXPECT_TRUE(line.verdict.run()) << line.verdict.text;
        }
        if (c.check) c.check(line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, Kr8SimCli,
    ::testing::Values(
        CliCase{{}, "", [](const Kr8SimCommandLine& l) {
                    EXPECT_TRUE(l.devicePath.empty());
                    EXPECT_EQ(l.options.deviceType, 2);
                    EXPECT_EQ(l.options.firmwareWord, sim::kDefaultFirmwareWord);
                }},
        CliCase{{"--pty", "--link", "/tmp/kr8", "--device-type", "3", "--logger-id=4"}, "",
                [](const Kr8SimCommandLine& l) {
                    EXPECT_EQ(l.linkPath, "/tmp/kr8");
                    EXPECT_EQ(l.options.deviceType, 3);
                    EXPECT_EQ(l.options.loggerId, 4);
                }},
        CliCase{{"--firmware", "6.9"}, "",
                [](const Kr8SimCommandLine& l) {
                    EXPECT_EQ(sim::firmwareMajor(l.options.firmwareWord), 6);
                    EXPECT_EQ(sim::firmwareMinor(l.options.firmwareWord), 90);
                }},
        CliCase{{"--run", "3=/data/run.003", "--run", "4=/data/run.004", "--generate-runs", "5", "--seed", "9"}, "",
                [](const Kr8SimCommandLine& l) {
                    ASSERT_EQ(l.runFiles.size(), 2u);
                    EXPECT_EQ(l.runFiles[1].first, 4);
                    EXPECT_EQ(l.runFiles[1].second, "/data/run.004");
                    EXPECT_EQ(l.generateRuns, 5);
                    EXPECT_EQ(l.generateSeed, 9u);
                }},
        CliCase{{"--corrupt-fraction", "0.25", "--lost-ack-fraction", "0.1", "--throttle", "11520", "--baud-mismatch",
                 "--silent", "--withhold-first-blocks", "2"},
                "",
                [](const Kr8SimCommandLine& l) {
                    EXPECT_DOUBLE_EQ(l.options.faults.corruptFraction, 0.25);
                    EXPECT_DOUBLE_EQ(l.options.faults.lostAckFraction, 0.1);
                    EXPECT_EQ(l.options.faults.throttleBytesPerSecond, 11520u);
                    EXPECT_TRUE(l.options.faults.baudMismatch);
                    EXPECT_TRUE(l.options.faults.silent);
                    EXPECT_EQ(l.options.faults.withheldFirstBlocks, 2);
                }},
        CliCase{{"--device", "/dev/ttyUSB0", "--firmware-word", "0x70630F06", "--clock-offset", "-30"}, "",
                [](const Kr8SimCommandLine& l) {
                    EXPECT_EQ(l.devicePath, "/dev/ttyUSB0");
                    EXPECT_EQ(l.options.firmwareWord, 0x70630F06u);
                    EXPECT_EQ(l.options.clockOffsetSeconds, -30);
                }},
        CliCase{{"--stream-units", "0,1,2,2,4", "--stream-interval", "100", "--gap-every", "5", "--gap-length=3",
                 "--duplicate-every", "4", "--empty-every", "7", "--stray-unit", "6", "--stray-every", "2", "--sent-log",
                 "/tmp/sent"},
                "",
                [](const Kr8SimCommandLine& l) {
                    EXPECT_EQ(l.options.streamUnits, (std::vector<int>{0, 1, 2, 4}));
                    EXPECT_EQ(l.options.streamInterval, 100ms);
                    const sim::StreamFaults& f = l.options.faults.stream;
                    EXPECT_EQ(f.gapEvery, 5u);
                    EXPECT_EQ(f.gapLength, 3u);
                    EXPECT_EQ(f.duplicateEvery, 4u);
                    EXPECT_EQ(f.emptyEvery, 7u);
                    EXPECT_EQ(f.strayUnit, 6);
                    EXPECT_EQ(f.strayEvery, 2u);
                    EXPECT_EQ(l.sentLogPath, "/tmp/sent");
                }},
        CliCase{{"--help"}, "", [](const Kr8SimCommandLine& l) { EXPECT_EQ(l.verdict.kind, cli::Verdict::Help); }},
        CliCase{{"--corrupt-fraction", "1.5"}, "--corrupt-fraction '1.5': expected a fraction from 0 to 1", {}},
        CliCase{{"--throttle", "fast"}, "--throttle 'fast': expected a number from 0 to 100000000", {}},
        CliCase{{"--run", "3"}, "--run '3': expected N=PATH", {}},
        CliCase{{"--run", "x=/a"}, "--run 'x=/a': expected N=PATH", {}},
        CliCase{{"--firmware", "7"}, "--firmware '7': expected a version such as 7.06", {}},
        CliCase{{"--logger-id", "70000"}, "--logger-id '70000': expected a number from -32768 to 32767", {}},
        CliCase{{"--stream-units", "1,5"}, "--stream-units '1,5': expected units 0..4 separated by commas", {}},
        CliCase{{"--stream-units", "1,,2"}, "--stream-units '1,,2': expected units 0..4 separated by commas", {}},
        CliCase{{"--stray-unit", "4"}, "--stray-unit '4': expected a number from 5 to 255", {}},
        CliCase{{"--gap-length", "0"}, "--gap-length '0': expected a number from 1 to 255", {}},
        CliCase{{"stray"}, "unexpected argument 'stray'", {}}),
                         ::cv::test::ReadableName());

} // namespace
} // namespace cv::test
