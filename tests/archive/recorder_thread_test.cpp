// The recorder's writer thread: a file that never opens does not hold up a start or a stop, and
// the time index beside each file gives every record the time it arrived.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_files.h"
#include "archive/archive_recorder.h"
#include "archive/time_index.h"
#include "archive_support.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace recording;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int64_t kStartSeconds = 1765218900;  // 2025-12-08T18:35:00Z

// A FIFO nobody reads: open() does not return. The start and Stop come back within their waits,
// the records handed over are counted lost, and the thread stuck in open() ends on its own when
// the FIFO is opened at last.
TEST(RecorderStop, GivesUpOnAFileThatNeverOpens) {
    test::TempDir dir;
    const std::string fifo = (dir / "stalled").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    {
        ArchiveRecorder recorder{clock, warnings, nullptr, RecorderLimits{1 << 20, 50ms, 100ms}};
        const auto started = Clock::now();
        EXPECT_TRUE(recorder.startContinuous(fifo));
        for (uint8_t s = 0; s < 5; ++s) {
            const auto r = test::archiveRecord(2, s, s, 10);
            EXPECT_TRUE(recorder.appendRecord(r.data(), r.size()));
        }
        recorder.stop();
        EXPECT_LT(Clock::now() - started, 2s);
        EXPECT_EQ(recorder.mode(), kOff);
        EXPECT_EQ(recorder.failedWrites(), 5u);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_NE(dialogs.boxes[0].text.find("the storage does not answer"), std::string::npos);
    }
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ::close(reader);
}

// ---- the time index ----

// Each record's time as the program's own reader places it from the index the recorder wrote
// beside `path`, and the anchors the index has. The index is checked to be what the README
// says: its header, then CR LF lines of rising offsets, each the offset of a record.
std::vector<double> placedByTheReader(const std::string& path, const std::vector<uint8_t>& archive,
                                      std::set<int64_t>& anchored) {
    const auto bytes = test::readFile(path + ".utc");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("KR-8 time index 1\r\n", 0), 0u);
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        EXPECT_EQ(text[at - 1], '\r') << "line ends in CR LF, at " << at;
    }
    std::string fault;
    std::optional<cv::TimeIndex> index = cv::TimeIndex::parse(text, fault);
    EXPECT_TRUE(index) << fault;
    if (!index) return {};
    std::vector<uint64_t> offsets;
    for (size_t at = 0; at < archive.size(); at += getU16le(&archive[at + 4]) + 32u) offsets.push_back(at);
    for (const cv::TimeIndex::Anchor& a : index->anchors()) {
        EXPECT_TRUE(std::binary_search(offsets.begin(), offsets.end(), a.offset)) << "anchor at " << a.offset << " names no record";
        EXPECT_TRUE(anchored.empty() || int64_t(a.offset) > *anchored.rbegin()) << "offsets rise";
        anchored.insert(int64_t(a.offset));
    }
    for (uint64_t o : offsets) index->countRecord(o);
    std::vector<double> placed;
    for (uint64_t o : offsets) placed.push_back(double(index->place(o).value_or(-1)));
    return placed;
}

// Records per 50 ms step of a stream, by the step's number.
struct PaceCase {
    const char* name;
    std::function<int(int)> records;
};
struct IndexWritten : ::testing::TestWithParam<PaceCase> {};

// Ten minutes of a stream with the fake clock: every record of the file is placed by its index
// within a second of when it was taken, and the index stays within 2% of the file.
TEST_P(IndexWritten, PlacesEveryRecordWithinASecondInUnderTwoPercentOfTheFile) {
    test::TempDir dir;
    const std::string path = (dir / "timed.arc").string();
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    ArchiveRecorder recorder{clock, warnings};
    clock.seconds = kStartSeconds;
    ASSERT_TRUE(recorder.startContinuous(path));
    MinuteWatch minutes(clock);
    std::vector<int64_t> arrivals;
    for (int step = 0; step < 12000; ++step) {
        const int64_t ms = kStartSeconds * 1000 + step * 50 + 7;
        clock.seconds = ms / 1000;
        clock.hundredthsValue = int(ms % 1000 / 10);
        if (step % 20 == 0) {
            recorder.collect();
            if (minutes.newMinute()) recorder.minuteTick();
        }
        for (int n = GetParam().records(step); n > 0; --n) {
            const auto r = test::archiveRecord(uint8_t(2 + n % 2), uint8_t(arrivals.size()), uint32_t(step),
                                               60 + (arrivals.size() * 37) % 120);
            ASSERT_TRUE(recorder.appendRecord(r.data(), r.size()));
            arrivals.push_back(ms / 10 * 10);
        }
        if (step % 200 == 0) recorder.waitForWriter(10s);
    }
    recorder.stop();
    ASSERT_EQ(recorder.failedWrites(), 0u);

    const auto archive = test::readFile(path);
    const auto index = test::readFile(path + ".utc");
    EXPECT_LE(index.size() * 50, archive.size()) << index.size() << " index bytes for " << archive.size();
    std::set<int64_t> anchored;
    const auto placed = placedByTheReader(path, archive, anchored);
    ASSERT_EQ(placed.size(), arrivals.size());
    double worst = 0;
    for (size_t i = 0; i < placed.size(); ++i) worst = std::max(worst, std::abs(placed[i] - double(arrivals[i])));
    EXPECT_LE(worst, 1000.0);
    // A reader looking for a minute finds where it begins in the index, however steady the
    // stream, while the index has room to spare (under half its share).
    if (index.size() * 100 > archive.size()) return;
    int64_t at = 0;
    for (size_t i = 0; i < arrivals.size(); at += getU16le(&archive[size_t(at) + 4]) + 32, ++i)
        if (i == 0 || arrivals[i] / 60000 != arrivals[i - 1] / 60000) {
            EXPECT_TRUE(anchored.count(at)) << "the first record of minute " << arrivals[i] / 60000;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, IndexWritten,
    ::testing::Values(
        PaceCase{"TwoLoggersAtTwentyHertz", [](int) { return 2; }},
        // A burst of 30 every 2 s, and 5 s of silence every 40 s.
        PaceCase{"BurstsAndSilences", [](int s) { return s % 800 >= 700 ? 0 : s % 40 == 0 ? 30 : 0; }},
        // 30 s at one record a second, 30 s at 40 a second, over and over.
        PaceCase{"PaceChanges", [](int s) { return s % 1200 < 600 ? (s % 20 == 0 ? 1 : 0) : 2; }},
        // Four at once each second, silent for 20 s of each minute: the pauses find room in the
        // index though the anchors of the bursts used theirs.
        PaceCase{"FourAtOnceEachSecondAndLongSilences", [](int s) { return s % 1200 >= 800 ? 0 : s % 20 == 0 ? 4 : 0; }},
        // A pause before every record would anchor each one: the index keeps to its share.
        PaceCase{"APauseBeforeEveryRecord", [](int s) { return s % 21 == 0 ? 1 : 0; }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
