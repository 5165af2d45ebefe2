// The recorder left alone for days: storage that fills up, blinks or cannot cut a partial record
// back, and a simulated week of hourly and daily files through the stream.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <optional>

#include "archive/archive_files.h"
#include "archive/archive_recorder.h"
#include "pclogger/annotation_queue.h"
#include "archive_support.h"
#include "link/port_slots.h"
#include "pclogger/pc_logger.h"
#include "protocol/mux_record.h"
#include "stream/mux_stream.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define CV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CV_ADDRESS_SANITIZER 1
#endif
#endif

namespace cv {
namespace {

using namespace recording;

// Files in memory on a disk whose free room, opening and cutting back the test controls.
struct FaultyFiles : ArchiveFiles {
    std::map<std::string, std::vector<uint8_t>> files;
    std::map<int, std::string> handles;
    int next = 3;
    bool refuseOpen = false;
    size_t room = SIZE_MAX;
    bool truncateFails = false;
    int flushes = 0;

    int open(const std::string& path, bool truncate) override {
        if (refuseOpen) return -ENOENT;
        if (truncate) files[path].clear();
        files[path];
        handles[next] = path;
        return next++;
    }
    int64_t size(int h) override { return int64_t(files[handles.at(h)].size()); }
    long write(int h, const uint8_t* data, size_t count) override {
        if (room == 0) return -ENOSPC;
        const size_t n = std::min(count, room);
        if (room != SIZE_MAX) room -= n;
        auto& f = files[handles.at(h)];
        f.insert(f.end(), data, data + n);
        return long(n);
    }
    bool truncate(int h, int64_t length) override {
        if (truncateFails) return false;
        files[handles.at(h)].resize(size_t(length));
        return true;
    }
    // Archive files only: their indexes are flushed with them.
    bool flush(int h) override {
        if (!handles.at(h).ends_with(".utc")) ++flushes;
        return true;
    }
    void close(int h) override { handles.erase(h); }
};

// Every record of `bytes` whole and ended by "####"; the count of them.
size_t wholeRecords(const std::vector<uint8_t>& bytes) {
    size_t at = 0, n = 0;
    while (at < bytes.size()) {
        const mux::RecordView r(bytes.data() + at, bytes.size() - at);
        EXPECT_TRUE(r.complete() && r.trailerIsHostTrailer()) << "at byte " << at;
        if (!r.complete()) break;
        at += r.wholeLength();
        ++n;
    }
    return n;
}

constexpr int64_t k1000 = 1139911200;  // 14 February 2006 (day 45), 10:00:00 on the PC clock

struct Storage : ::testing::Test {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    FaultyFiles files;
    ArchiveRecorder recorder{clock, warnings, &files};
    uint8_t sequence = 0;
    std::optional<MinuteWatch> minutes;  // from the first run on, as the recording started

    // `seconds` of a record every 5 s, the minute watched every second as the Host does.
    int run(int seconds) {
        int kept = 0;
        if (!minutes) minutes.emplace(clock);
        for (int s = 0; s < seconds; ++s) {
            ++clock.seconds;
            if (minutes->newMinute()) recorder.minuteTick();
            if (clock.seconds % 5 != 0) continue;
            const auto r = test::archiveRecord(2, sequence, uint32_t(clock.seconds), 40 + sequence % 7);
            ++sequence;
            const uint32_t failed = recorder.failedWrites();
            const bool taken = recorder.appendRecord(r.data(), r.size());
            recorder.waitForWriter(std::chrono::seconds(10));
            kept += taken && recorder.failedWrites() == failed ? 1 : 0;
        }
        recorder.waitForWriter(std::chrono::seconds(10));
        return kept;
    }
};

// A disk full for a minute (the first record of it half written), then room again: the
// recording goes on in the hour's file, which holds whole records only; the lost ones are
// counted, shown in the status and raise one box.
TEST_F(Storage, AFullDiskForAMinuteLosesOnlyItsRecordsAndTheRecordingGoesOn) {
    clock.seconds = k1000;
    ASSERT_TRUE(recorder.startPeriodic(kHourly, "/d/run"));
    EXPECT_EQ(run(60), 12);
    files.room = 20;  // less than a record
    EXPECT_EQ(run(60), 0);
    files.room = SIZE_MAX;
    EXPECT_EQ(run(60), 12);
    EXPECT_EQ(recorder.mode(), kHourly);
    EXPECT_EQ(recorder.failedWrites(), 12u);
    EXPECT_EQ(statusText(recorder.mode(), 0, recorder.failedWrites()), "Recording:  1 Hour Archive   (12 failed writes)");
    EXPECT_EQ(wholeRecords(files.files.at("/d/run06_045.010")), 24u);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("/d/run06_045.010"), std::string::npos);
    // A second spell of failures is a new box.
    files.room = 0;
    run(10);
    EXPECT_EQ(dialogs.boxes.size(), 2u);
}

// A storage that blinks (a USB stick, a network share) while the hourly file is closed at the
// minute change: the recording keeps its mode, counts what it lost, and when the path works
// again the records go into the file of their own hour.
TEST_F(Storage, AnHourlyFileThatCannotBeReopenedIsTriedAgainWithEveryRecord) {
    clock.seconds = k1000 - 120;
    ASSERT_TRUE(recorder.startPeriodic(kHourly, "/d/run"));
    run(60);
    files.refuseOpen = true;
    // The open file takes the rest of its minute; from the minute change on nothing opens.
    EXPECT_EQ(run(120), 11);
    files.refuseOpen = false;
    EXPECT_EQ(run(60), 12);
    EXPECT_EQ(recorder.mode(), kHourly);
    EXPECT_EQ(recorder.failedWrites(), 13u);
    EXPECT_EQ(wholeRecords(files.files.at("/d/run06_045.009")), 23u);
    EXPECT_EQ(wholeRecords(files.files.at("/d/run06_045.010")), 12u);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

// In one file, a storage that goes away is appended to again when it comes back.
TEST_F(Storage, AContinuousFileIsReopenedForAppendingWhenItsStorageComesBack) {
    clock.seconds = k1000;
    ASSERT_TRUE(recorder.startContinuous("/d/one.arc"));
    run(30);
    files.room = 0;
    files.refuseOpen = true;
    run(30);
    files.room = SIZE_MAX;
    files.refuseOpen = false;
    run(30);
    EXPECT_EQ(wholeRecords(files.files.at("/d/one.arc")), 12u);
    EXPECT_EQ(recorder.failedWrites(), 6u);
    EXPECT_EQ(recorder.recordedBytes(), int64_t(files.files.at("/d/one.arc").size()));
}

// A partial record that cannot be cut back stays at the end of its file, and nothing more is
// put behind it: the recording goes on in "<name>-2", reported once.
TEST_F(Storage, AFileEndingInAPartialRecordTakesNothingMore) {
    clock.seconds = k1000;
    ASSERT_TRUE(recorder.startContinuous("/d/one.arc"));
    run(10);
    files.room = 30;
    files.truncateFails = true;
    run(5);
    files.room = SIZE_MAX;
    run(10);
    EXPECT_EQ(recorder.fileName(), "/d/one.arc-2");
    EXPECT_EQ(files.files.at("/d/one.arc").size(), (32 + 40) + (32 + 41) + 30u);
    EXPECT_EQ(wholeRecords(files.files.at("/d/one.arc-2")), 2u);
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_TRUE(dialogs.saw(kFileErrorTitle, "Archive file /d/one.arc ends in a partial record. Recording goes on in "
                                             "/d/one.arc-2."));
}

// What was written reaches the disk itself when an hourly file is closed, once a minute in one
// file, and at Stop.
TEST_F(Storage, WrittenRecordsAreFlushedAtEachCloseEveryMinuteAndAtStop) {
    for (RecordingMode mode : {kHourly, kContinuous}) {
        clock.seconds = k1000;
        files.flushes = 0;
        ASSERT_TRUE(mode == kHourly ? recorder.startPeriodic(mode, "/d/run") : recorder.startContinuous("/d/one.arc"));
        run(5 * 60);
        EXPECT_EQ(files.flushes, 5) << int(mode);
        run(5);
        recorder.stop();
        EXPECT_EQ(files.flushes, 6) << int(mode);
        recorder.stop();
        EXPECT_EQ(files.flushes, 6) << int(mode);
    }
}

// ---- a simulated week ----

// The real file system, with the most files the recorder ever held open at once.
struct CountingFiles : ArchiveFiles {
    ArchiveFiles& real = systemArchiveFiles();
    int open_ = 0, mostOpen = 0;
    int open(const std::string& path, bool truncate) override {
        const int h = real.open(path, truncate);
        if (h >= 0) mostOpen = std::max(mostOpen, ++open_);
        return h;
    }
    int64_t size(int h) override { return real.size(h); }
    long write(int h, const uint8_t* d, size_t n) override { return real.write(h, d, n); }
    bool truncate(int h, int64_t n) override { return real.truncate(h, n); }
    // Counted, not done: a week's 10,080 minute closes would wait half a minute on the disk, and
    // when flushes happen is shown above.
    bool flush(int) override { return ++flushes > 0; }
    int flushes = 0;
    void close(int h) override {
        --open_;
        real.close(h);
    }
};

// What a file must hold: its records' count, bytes and a hash of them in order.
struct Expected {
    size_t records = 0, bytes = 0;
    uint64_t hash = 1469598103934665603ull;
    void add(const uint8_t* p, size_t n) {
        ++records;
        bytes += n;
        for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
    }
};

// Bytes the heap holds for the program now.
long heapInUse() { return long(mallinfo2().uordblks); }

struct WeekCase {
    const char* name;
    RecordingMode mode;
    int64_t start;    // local midnight, the zone at UTC
    int64_t dstFrom;  // from here on the clock is an hour ahead; 0 for none
    size_t files;
};

// Records from the time unit and loggers 2 and 3 every 5 s and the PC logger's own every 15 s go
// through the stream to the recorder for 7 days, with the window's 1 s tick: every record lands
// in the file of its hour or day, in order, no more than one file (and its index) is ever open,
// memory is flat.
class SimulatedWeek : public ::testing::TestWithParam<WeekCase> {};

TEST_P(SimulatedWeek, EveryRecordLandsInItsOwnFileInOrder) {
    const WeekCase c = GetParam();
    const auto started = std::chrono::steady_clock::now();
    test::TempDir dir;
    const std::string base = (dir / "w").string();
    test::FakeClock clock;
    clock.seconds = c.start;
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    CountingFiles files;
    ArchiveRecorder recorder{clock, warnings, &files};
    MuxStream stream{warnings};
    std::map<std::string, Expected> expected;
    struct Expecting : StreamConsumer {
        std::function<void(const mux::RecordView&)> take;
        void takeRecord(const mux::RecordView& r) override { take(r); }
    } expecting;
    expecting.take = [&](const mux::RecordView& r) {
        expected[periodicFileName(base, c.mode, clock.localTime(clock.now()))].add(r.bytes(), r.wholeLength());
    };
    stream.addConsumer(&expecting);
    stream.addConsumer(&recorder);

    test::FakeSerialFactory serial;
    PortSlotTable ports{serial, dialogs};
    pclogger::PcLogger pc{clock, ports};
    pclogger::Table lines{};
    lines[0].function = pclogger::kMeterInput;
    pc.setActive(lines);
    pc.setInterval(15000);
    ports.openPortSlot(1, 1, 6);

    ASSERT_TRUE(recorder.startPeriodic(c.mode, base));
    MinuteWatch minutes(clock);
    std::array<uint8_t, 4> sequence{};
    long heapAfterDay1 = 0;
    size_t fed = 0;
    // To the last second before local midnight of the seventh day.
    const int end = 7 * 86400 - (c.dstFrom ? 3600 : 0);
    for (int s = 1; s < end; ++s) {
        ++clock.seconds;
        clock.ms += 1000;
        clock.dst = c.dstFrom && clock.seconds >= c.dstFrom;
        if (minutes.newMinute()) recorder.minuteTick();
        if (s % 5 == 0) {
            const uint8_t unit = std::array<uint8_t, 3>{0, 2, 3}[size_t(s / 5 % 3)];
            auto r = test::archiveRecord(unit, sequence[unit]++, uint32_t(s * 100), size_t(20 + s % 50));
            mux::headerToWireOrder(r.data());
            stream.acceptMuxRecord(r.data(), r.size());
            ++fed;
        }
        // The writer is let catch up once a simulated minute, as a real minute lets it.
        if (s % 60 == 0) recorder.waitForWriter(std::chrono::seconds(10));
        if (s % 15 == 0) serial.line(1)->feed(std::vector<uint8_t>{'$', 'T', ',', uint8_t('0' + s % 10), '\r', '\n'});
        if (pc.tick(true, nullptr, [&](uint8_t* r, size_t n) { stream.acceptMuxRecord(r, n); })) ++fed;
        if (s == 86400) heapAfterDay1 = heapInUse();
    }
    recorder.stop();

    EXPECT_EQ(expected.size(), c.files);
    size_t records = 0;
    for (const auto& [name, want] : expected) {
        const std::vector<uint8_t> got = test::readFile(name);
        Expected seen;
        seen.add(got.data(), got.size());
        EXPECT_EQ(got.size(), want.bytes) << name;
        EXPECT_EQ(seen.hash, want.hash) << name;
        EXPECT_EQ(wholeRecords(got), want.records) << name;
        records += want.records;
    }
    EXPECT_EQ(records, fed);
    // Each archive file with its time index beside it, and nothing else.
    EXPECT_EQ(size_t(std::distance(std::filesystem::directory_iterator(dir.path()), {})), 2 * c.files);
    for (const auto& [name, want] : expected) EXPECT_TRUE(std::filesystem::exists(name + ".utc")) << name;
    EXPECT_EQ(files.mostOpen, 2);
    EXPECT_EQ(recorder.failedWrites(), 0u);
    EXPECT_TRUE(dialogs.boxes.empty());
#ifndef CV_ADDRESS_SANITIZER
    // Six days more of recording hold no more memory than this test's own list of files (about
    // 25 KB for 144 hourly files), where a byte kept per record would be 130 KB. The sanitizer
    // keeps its own heap.
    EXPECT_LT(heapInUse() - heapAfterDay1, 64 * 1024);
#endif
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("[ week ] %s: %zu files, %zu records, %.2f s\n", c.name, expected.size(), records, seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, SimulatedWeek,
    ::testing::Values(WeekCase{"HourlyOverTheYearEnd", kHourly, 1798416000, 0, 168},    // 28 Dec 2026
                      WeekCase{"DailyOverTheYearEnd", kDaily, 1798416000, 0, 7},
                      WeekCase{"HourlyIntoSummerTime", kHourly, 1805846400, 1806195600, 167},  // 24-31 Mar 2027
                      WeekCase{"DailyIntoSummerTime", kDaily, 1805846400, 1806195600, 7}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
