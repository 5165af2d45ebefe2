#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_recorder.h"
#include "archive/archive_replay.h"
#include "archive_support.h"
#include "extract/run_extraction.h"
#include "extract/warning_sink.h"
#include "run_file_generator.h"
#include "support/fakes.h"
#include "support/memory_serial.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv {
namespace {

using namespace recording;

struct Replay : ::testing::Test {
    test::FakeClock clock;
    test::TempDir dir;
    ArchiveReplay replay{clock};
    std::array<uint8_t, kReceiveBufferSize> buffer{};

    std::string file(const std::vector<std::vector<uint8_t>>& records, const char* name = "a.arc") {
        test::writeFile(dir / name, test::joined(records));
        return (dir / name).string();
    }
    // One fast tick: the frame delivered, empty when none was due.
    std::vector<uint8_t> tick() {
        const size_t n = replay.nextPacket(buffer.data(), buffer.size());
        return {buffer.begin(), buffer.begin() + long(n)};
    }
};

const std::vector<std::vector<uint8_t>> kThree{test::archiveRecord(2, 1, 1000, 12), test::archiveRecord(2, 2, 1001, 0),
                                               test::archiveRecord(2, 3, 1002, 300)};

struct FileKind {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* problem;
};
struct FileKinds : Replay, ::testing::WithParamInterface<FileKind> {};

TEST_P(FileKinds, OnlyAFileStartingWithAWholeArchiveRecordIsReplayed) {
    test::writeFile(dir / "f", GetParam().bytes);
    EXPECT_EQ(archiveFileProblem((dir / "f").string()), GetParam().problem);
}

// A record as the logger may store it: another trailer, but sections that add up.
std::vector<uint8_t> loggerTrailer() {
    auto r = test::archiveRecord(3, 1, 5, 20);
    std::copy_n("\r\n\0\0", 4, r.end() - 4);
    return r;
}
// The first record of a run file: a 4-byte record header and the unit's identity.
const std::vector<uint8_t> kRunFileStart = test::bytesOf("07 00 18 00 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                                         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

INSTANTIATE_TEST_SUITE_P(
    Replay, FileKinds,
    ::testing::Values(FileKind{"Recording", test::joined(kThree), ""}, FileKind{"LoggerTrailer", loggerTrailer(), ""},
                      FileKind{"Empty", {}, "it is empty"},
                      FileKind{"Text", std::vector<uint8_t>(300, 'a'), "it does not start with a whole archive record"},
                      FileKind{"CutShort", std::vector<uint8_t>(kThree[2].begin(), kThree[2].end() - 1),
                               "it does not start with a whole archive record"},
                      FileKind{"RunFile", kRunFileStart, "it does not start with an archive record"},
                      FileKind{"ForeignUnit", test::archiveRecord(9, 1, 1, 4), "it does not start with an archive record"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SpeedTable : Replay, ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(SpeedTable, RecordsComeEveryNineteenBySpeedTicks) {
    const auto [speed, ticks] = GetParam();
    replay.setSpeed(speed);
    ASSERT_TRUE(replay.start(file(kThree), kReplayContinuous));
    std::vector<int> deliveries;
    for (int t = 0; t < 80; ++t)
        if (!tick().empty()) deliveries.push_back(t);
    ASSERT_GE(deliveries.size(), 3u);
    EXPECT_EQ(deliveries[0], 0);
    for (size_t i = 1; i < deliveries.size(); ++i) EXPECT_EQ(deliveries[i] - deliveries[i - 1], ticks);
}

INSTANTIATE_TEST_SUITE_P(Replay, SpeedTable,
                         ::testing::Values(std::pair{1, 19}, std::pair{2, 9}, std::pair{3, 6}, std::pair{4, 4},
                                           std::pair{5, 3}, std::pair{6, 3}, std::pair{7, 2}, std::pair{8, 2},
                                           std::pair{9, 2}, std::pair{10, 1}),
                         [](const auto& i) { return "Speed" + std::to_string(i.param.first); });

// At speed 10 the records come on consecutive ticks; replay once asks to stop on the tick after
// the last, continuous replay starts again with the first record.
TEST_F(Replay, OnceStopsAfterTheLastRecordAndContinuousWraps) {
    replay.setSpeed(10);
    for (RecordingMode mode : {kReplayOnce, kReplayContinuous}) {
        ASSERT_TRUE(replay.start(file(kThree), mode));
        for (const auto& r : kThree) EXPECT_EQ(tick(), test::lineFrame(r));
        EXPECT_FALSE(replay.takeStopRequest());
        EXPECT_EQ(replay.readPosition(), int64_t(test::joined(kThree).size()));
        const auto next = tick();
        if (mode == kReplayOnce) {
            EXPECT_TRUE(next.empty());
            EXPECT_TRUE(replay.takeStopRequest());
        } else {
            EXPECT_EQ(next, test::lineFrame(kThree[0]));
            EXPECT_FALSE(replay.takeStopRequest());
        }
        replay.stop();
    }
}

struct ShortFiles : Replay, ::testing::WithParamInterface<RecordingMode> {};

// An empty file and a file whose last record is cut short end the replay in both modes, after
// every whole record has been delivered.
TEST_P(ShortFiles, EmptyOrTruncatedFileEndsTheReplay) {
    replay.setSpeed(10);
    ASSERT_TRUE(replay.start(file({}), GetParam()));
    EXPECT_TRUE(tick().empty());
    EXPECT_TRUE(replay.takeStopRequest());

    auto cut = test::joined(kThree);
    cut.resize(cut.size() - 5);
    test::writeFile(dir / "cut.arc", cut);
    ASSERT_TRUE(replay.start((dir / "cut.arc").string(), GetParam()));
    EXPECT_EQ(tick(), test::lineFrame(kThree[0]));
    EXPECT_EQ(tick(), test::lineFrame(kThree[1]));
    EXPECT_TRUE(tick().empty());
    EXPECT_TRUE(replay.takeStopRequest());
}

INSTANTIATE_TEST_SUITE_P(Replay, ShortFiles, ::testing::Values(kReplayOnce, kReplayContinuous),
                         [](const auto& i) { return std::string(i.param == kReplayOnce ? "Once" : "Continuous"); });

TEST_F(Replay, RecordTooLongForTheReceiveBufferIsSkippedAndCountedOnce) {
    replay.setSpeed(10);
    const auto small = test::archiveRecord(1, 1, 1, 10), fits = test::archiveRecord(1, 2, 2, kMaxMuxPayload),
               big = test::archiveRecord(1, 3, 3, kMaxMuxPayload + 1), last = test::archiveRecord(1, 4, 4, 5);
    ASSERT_TRUE(replay.start(file({small, fits, big, last}), kReplayContinuous));
    EXPECT_EQ(tick(), test::lineFrame(small));
    EXPECT_EQ(tick(), test::lineFrame(fits));
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(tick(), test::lineFrame(last));
    for (int t = 0; t < 8; ++t) tick();  // two more passes
    EXPECT_FALSE(replay.takeStopRequest());
    EXPECT_EQ(replay.skippedRecords(), 1u);
}

// A file that does not answer (a FIFO nobody writes: its open() does not return, as on a stalled
// share): the start, every tick and Stop return at once, and nothing is handed over.
TEST_F(Replay, AFileThatDoesNotAnswerHoldsUpNoTick) {
    using Clock = std::chrono::steady_clock;
    const std::string fifo = (dir / "stalled").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    replay.setSpeed(10);
    const auto started = Clock::now();
    ASSERT_TRUE(replay.start(fifo, kReplayOnce, true));
    Clock::duration longest{};
    for (int t = 0; t < 100; ++t) {
        const auto before = Clock::now();
        EXPECT_TRUE(tick().empty());
        longest = std::max(longest, Clock::now() - before);
    }
    EXPECT_FALSE(replay.takeStopRequest());
    replay.stop();
    EXPECT_LT(longest, std::chrono::milliseconds(20));
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
    // The thread stuck in open() is let go.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_GE(writer, 0);
    ::close(writer);
}

// Recorded, replayed through the receiver and recorded again, an archive comes out byte for
// byte as it went in; an archive written by run-file extraction replays the same way, less the
// records too long for the receive buffer.
struct RoundTrip : Replay {
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    SilentDialogs silent;
    MemorySerialFactory serial;
    PortSlotTable ports{serial, silent};
    LoggerRecords records;
    PacketReceiver receiver{ports, records};
    test::ConvertingConsumer consumer;

    // Replays `path` once at full speed into a continuous recording of `copy`.
    void replayInto(const std::string& path, const std::string& copy) {
        ArchiveRecorder recorder{clock, warnings};
        ASSERT_TRUE(recorder.startContinuous(copy));
        consumer.sink = [&](const uint8_t* r, size_t n) { recorder.appendRecord(r, n); };
        receiver.setConsumer(&consumer);
        receiver.setReplaySource(&replay);
        replay.setSpeed(10);
        ASSERT_TRUE(replay.start(path, kReplayOnce));
        for (int t = 0; t < 100000 && !replay.takeStopRequest(); ++t) receiver.receiveLoggerPackets();
        replay.stop();
    }
};

TEST_F(RoundTrip, RecordingReplayedAndRecordedAgainIsByteIdentical) {
    ArchiveRecorder recorder{clock, warnings};
    ASSERT_TRUE(recorder.startContinuous((dir / "first.arc").string()));
    consumer.sink = [&](const uint8_t* r, size_t n) { recorder.appendRecord(r, n); };
    receiver.setConsumer(&consumer);
    std::vector<std::vector<uint8_t>> sent;
    for (uint8_t s = 0; s < 40; ++s) sent.push_back(test::archiveRecord(s % 5, s, 7000u + s, (s * 97u) % 900));
    for (const auto& r : sent) {
        const auto frame = test::lineFrame(r);
        serial.device.stream.insert(serial.device.stream.end(), frame.begin(), frame.end());
    }
    ports.openPortSlot(0, 1, 11);
    for (int t = 0; t < 200; ++t) receiver.receiveLoggerPackets();
    recorder.stop();
    ASSERT_EQ(test::readFile(dir / "first.arc"), test::joined(sent));

    replayInto((dir / "first.arc").string(), (dir / "second.arc").string());
    EXPECT_EQ(test::readFile(dir / "second.arc"), test::joined(sent));
}

TEST_F(RoundTrip, ExtractionArchiveReplaysLikeARecording) {
    sim::RunFileOptions options;
    options.seed = 8;
    options.targetSize = 96 * 1024;
    options.burstPercent = 20;
    ASSERT_TRUE(sim::RunFileGenerator(options).writeFile(dir / "run.007"));
    struct : WarningSink {
        void warning(const std::string&, const std::string&) override {}
    } quiet;
    ExtractionState state;
    ASSERT_TRUE(extractRunFile(dir / "run.007", ExtractChoice::ArchiveOnly, {}, state, quiet).usable());
    const auto archive = test::readFile(dir / "archive.007");
    std::vector<uint8_t> replayable;
    size_t tooLong = 0;
    for (size_t at = 0; at + 32 <= archive.size();) {
        const size_t length = getU16le(&archive[at + 4]) + 32u;
        if (length - 32 > kMaxMuxPayload) ++tooLong;
        else replayable.insert(replayable.end(), archive.begin() + long(at), archive.begin() + long(at + length));
        at += length;
    }
    ASSERT_GT(replayable.size(), 1000u);

    replayInto((dir / "archive.007").string(), (dir / "copy.arc").string());
    EXPECT_EQ(test::readFile(dir / "copy.arc"), replayable);
    EXPECT_EQ(replay.skippedRecords(), tooLong);
}

// Any bytes as an archive file: frames stay inside the buffer, carry a valid checksum, and a
// replay once always comes to an end.
TEST_F(Replay, AnyBytesReplayInsideTheBufferAndEnd) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(rng() % 20000);
        for (auto& b : bytes) b = uint8_t(rng() % 4 == 0 ? rng() % 3 : rng());
        test::writeFile(dir / "any.arc", bytes);
        for (RecordingMode mode : {kReplayOnce, kReplayContinuous}) {
            replay.setSpeed(10);
            ASSERT_TRUE(replay.start((dir / "any.arc").string(), mode));
            int ticks = 0;
            for (; ticks < 3000 && !replay.takeStopRequest(); ++ticks) {
                const size_t n = replay.nextPacket(buffer.data(), buffer.size());
                ASSERT_LE(n, buffer.size());
                if (n) {
                    ASSERT_TRUE(packetChecksumOk(buffer.data(), n));
                }
            }
            if (mode == kReplayOnce) {
                EXPECT_LT(ticks, 3000);
            }
        }
    }
}

} // namespace
} // namespace cv
