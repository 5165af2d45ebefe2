#include <gtest/gtest.h>

#include <filesystem>

#include <optional>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "archive/archive_recorder.h"
#include "archive_support.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv {
namespace {

using namespace recording;

constexpr int64_t k0959_30 = 1139911170;  // 14 February 2006 (day 45), 09:59:30 on the PC clock

struct Recorder : ::testing::Test {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    ArchiveRecorder recorder{clock, warnings};
    test::TempDir dir;
    std::string base = (dir / "run").string();

    // True when the record landed in the file.
    bool append(const std::vector<uint8_t>& r) {
        const uint32_t failed = recorder.failedWrites();
        const bool taken = recorder.appendRecord(r.data(), r.size());
        recorder.waitForWriter(std::chrono::seconds(10));
        return taken && recorder.failedWrites() == failed;
    }
    // The one-second tick as the Host makes it: the recorder hears of each new minute.
    std::optional<MinuteWatch> minutes;
    void secondTick() {
        if (!minutes) minutes.emplace(clock);
        recorder.collect();
        if (minutes->newMinute()) recorder.minuteTick();
    }
};

std::string modeName(RecordingMode mode) { return mode == kHourly ? "Hourly" : mode == kDaily ? "Daily" : "Continuous"; }

struct NameCase {
    RecordingMode mode;
    int year, yearDay, hour;
    const char* name;
};
struct PeriodicNames : ::testing::TestWithParam<NameCase> {};

TEST_P(PeriodicNames, NameIsBaseYearDayOfYearAndHour) {
    const NameCase& c = GetParam();
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_yday = c.yearDay - 1;
    tm.tm_hour = c.hour;
    EXPECT_EQ(periodicFileName("C:\\data\\buoy", c.mode, tm), c.name);
}

INSTANTIATE_TEST_SUITE_P(Recorder, PeriodicNames,
                         ::testing::Values(NameCase{kHourly, 2006, 45, 9, "C:\\data\\buoy06_045.009"},
                                           NameCase{kHourly, 2006, 45, 0, "C:\\data\\buoy06_045.000"},
                                           NameCase{kHourly, 2006, 45, 23, "C:\\data\\buoy06_045.023"},
                                           NameCase{kDaily, 2006, 45, 9, "C:\\data\\buoy06.045"},
                                           NameCase{kDaily, 2008, 366, 23, "C:\\data\\buoy08.366"},
                                           NameCase{kHourly, 2000, 1, 5, "C:\\data\\buoy00_001.005"}),
                         [](const auto& i) { return modeName(i.param.mode) + std::to_string(i.param.year) + "Day" + std::to_string(i.param.yearDay) + "Hour" + std::to_string(i.param.hour); });

// Started 30 s before the hour or midnight: a record after the change still goes into the old
// file while it is open; the first tick after the minute change closes it and the next record
// opens the file of the new hour or day. A period without records leaves no file behind.
struct PeriodCase {
    RecordingMode mode;
    int64_t start;
    int64_t period;
    std::array<const char*, 4> names;  // the first period, the next, an empty one, the one after
};
struct PeriodicFiles : Recorder, ::testing::WithParamInterface<PeriodCase> {};

TEST_P(PeriodicFiles, ChangeWithTheFirstTickAfterThePeriodEnds) {
    const PeriodCase& c = GetParam();
    clock.seconds = c.start;
    ASSERT_TRUE(recorder.startPeriodic(c.mode, base));
    secondTick();
    const auto r1 = test::archiveRecord(2, 1, 100, 10), r2 = test::archiveRecord(2, 2, 101, 0),
               r3 = test::archiveRecord(2, 3, 102, 7);
    clock.seconds += 10;
    EXPECT_TRUE(append(r1));
    clock.seconds += 21;  // one second into the new period, before that second's tick
    EXPECT_TRUE(append(r2));
    secondTick();
    EXPECT_TRUE(append(r3));
    EXPECT_EQ(test::readFile(base + c.names[0]), test::joined({r1, r2}));
    EXPECT_EQ(test::readFile(base + c.names[1]), r3);
    EXPECT_EQ(recorder.recordedBytes(), int64_t(r3.size()));
    for (int64_t t = 0; t < 2 * c.period; t += 20) {
        clock.seconds += 20;
        secondTick();
    }
    EXPECT_TRUE(append(r1));
    EXPECT_FALSE(std::filesystem::exists(base + c.names[2]));
    EXPECT_EQ(test::readFile(base + c.names[3]), r1);
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, PeriodicFiles,
    ::testing::Values(PeriodCase{kHourly, k0959_30, 3600, {"06_045.009", "06_045.010", "06_045.011", "06_045.012"}},
                      PeriodCase{kDaily, k0959_30 + 14 * 3600, 86400, {"06.045", "06.046", "06.047", "06.048"}}),
    [](const auto& info) { return modeName(info.param.mode); });

// Hourly and daily recordings append to the file of their period and count its size on; a
// continuous recording replaces what its file held. Sizes count 1024-byte K.
struct ExistingCase {
    RecordingMode mode;
    const char* suffix;
    bool kept;
};
struct ExistingFile : Recorder, ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingFile, IsAppendedToByPeriodicRecordingAndReplacedByContinuous) {
    const ExistingCase& c = GetParam();
    clock.seconds = k0959_30;
    const std::string name = base + c.suffix;
    const std::vector<uint8_t> old(10000, 0x55);
    test::writeFile(name, old);
    ASSERT_TRUE(c.mode == kContinuous ? recorder.startContinuous(name) : recorder.startPeriodic(c.mode, base));
    EXPECT_EQ(recorder.fileName(), name);
    EXPECT_EQ(fileSizeText(recorder.recordedBytes()), c.kept ? "File Size:         9 K" : "File Size:         0 K");
    const auto r = test::archiveRecord(1, 9, 5, 208);  // 240 bytes: 10,240 behind the old ones
    ASSERT_TRUE(append(r));
    auto expected = c.kept ? old : std::vector<uint8_t>{};
    expected.insert(expected.end(), r.begin(), r.end());
    EXPECT_EQ(test::readFile(name), expected);
    EXPECT_EQ(fileSizeText(recorder.recordedBytes()), c.kept ? "File Size:        10 K" : "File Size:         0 K");
}

INSTANTIATE_TEST_SUITE_P(Recorder, ExistingFile,
                         ::testing::Values(ExistingCase{kHourly, "06_045.009", true},
                                           ExistingCase{kDaily, "06.045", true},
                                           ExistingCase{kContinuous, ".arc", false}),
                         [](const auto& info) { return modeName(info.param.mode); });

// A file that cannot be made ends the recording with one box naming it, instead of a
// recording that goes on writing nothing.
struct CreateFailure : Recorder, ::testing::WithParamInterface<RecordingMode> {};

TEST_P(CreateFailure, EndsTheRecordingWithOneBoxNamingTheFile) {
    const std::string path = (dir / "missing" / "run").string();
    const bool started = GetParam() == kContinuous ? recorder.startContinuous(path)
                                                   : recorder.startPeriodic(GetParam(), path);
    EXPECT_FALSE(started);
    EXPECT_EQ(recorder.mode(), kOff);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, kFileErrorTitle);
    EXPECT_NE(dialogs.boxes[0].text.find(path), std::string::npos) << dialogs.boxes[0].text;
    EXPECT_NE(dialogs.boxes[0].text.find("No such file or directory"), std::string::npos);
    EXPECT_FALSE(append(test::archiveRecord(1, 1, 1, 1)));
}

INSTANTIATE_TEST_SUITE_P(Recorder, CreateFailure, ::testing::Values(kContinuous, kHourly, kDaily),
                         [](const auto& i) { return modeName(i.param); });

// A folder that vanishes under an hourly recording (a share unmounted) and comes back.
TEST_F(Recorder, HourlyRecordingOutlivesItsFolderGoingAwayForAWhile) {
    std::filesystem::create_directory(dir / "gone");
    ASSERT_TRUE(recorder.startPeriodic(kHourly, (dir / "gone" / "run").string()));
    std::filesystem::remove_all(dir / "gone");
    EXPECT_FALSE(append(test::archiveRecord(1, 1, 1, 1)));
    EXPECT_FALSE(append(test::archiveRecord(1, 2, 1, 1)));
    EXPECT_EQ(recorder.mode(), kHourly);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    std::filesystem::create_directory(dir / "gone");
    const auto r = test::archiveRecord(1, 3, 1, 1);
    EXPECT_TRUE(append(r));
    EXPECT_EQ(test::readFile(recorder.fileName()), r);
    EXPECT_EQ(recorder.failedWrites(), 2u);
}

TEST_F(Recorder, FailedWritesAreReportedOncePerFileAndCountedInTheStatus) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(recorder.startContinuous("/dev/full"));
    for (uint8_t s = 0; s < 3; ++s) EXPECT_FALSE(append(test::archiveRecord(1, s, 1, 20)));
    EXPECT_EQ(recorder.mode(), kContinuous);
    EXPECT_EQ(recorder.recordedBytes(), 0);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("/dev/full"), std::string::npos);
    EXPECT_EQ(statusText(kContinuous, 0, recorder.failedWrites()), "Recording:  Archive File   (3 failed writes)");
    ASSERT_TRUE(recorder.startContinuous("/dev/full"));
    EXPECT_FALSE(append(test::archiveRecord(1, 4, 1, 20)));
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    ASSERT_TRUE(recorder.startPeriodic(kHourly, base));
    EXPECT_EQ(recorder.failedWrites(), 0u) << "a new recording starts without failures";
}

// A record the disk takes only part of (here a file size limit) is taken back, so the file
// stays whole records and the next one lands where a reader looks for it.
TEST_F(Recorder, ARecordCutShortIsTakenBack) {
    const std::string path = (dir / "cut.arc").string();
    const auto r1 = test::archiveRecord(1, 1, 1, 40), r2 = test::archiveRecord(1, 2, 2, 40),
               r3 = test::archiveRecord(1, 3, 3, 40);
    ASSERT_TRUE(recorder.startContinuous(path));
    ASSERT_TRUE(append(r1));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = r1.size() + r2.size() / 2;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool cut = append(r2);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(cut);
    EXPECT_EQ(recorder.failedWrites(), 1u);
    ASSERT_TRUE(append(r3));
    EXPECT_EQ(test::readFile(path).size(), r1.size() + r3.size());
    EXPECT_EQ(test::readFile(path), test::joined({r1, r3}));
    EXPECT_EQ(recorder.recordedBytes(), int64_t(r1.size() + r3.size()));
}

// A program killed in the middle of a recording: every record it counted as recorded is in the
// file whole, at most the one being written when the kill came is cut short. The test forks
// before any recorder of its own exists: a thread running at the fork could leave a lock held in
// the child for good.
TEST(RecorderKilled, LosesNoRecordedRecord) {
    test::TempDir dir;
    const size_t threads = size_t(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                                std::filesystem::directory_iterator()));
    ASSERT_EQ(threads, 1u) << "a thread runs at the fork";
    const std::string path = (dir / "killed.arc").string();
    int acks[2];
    ASSERT_EQ(pipe(acks), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(acks[0]);
        test::FakeClock c;
        test::FakeDialogs d;
        WarningBox w{d};
        ArchiveRecorder rec{c, w};
        if (!rec.startContinuous(path)) _exit(2);
        for (uint32_t i = 0;; ++i) {
            const auto r = test::archiveRecord(2, uint8_t(i), i, 1 + i % 700);
            const int64_t before = rec.recordedBytes();
            rec.appendRecord(r.data(), r.size());
            rec.waitForWriter(std::chrono::seconds(10));
            if (rec.recordedBytes() != before + int64_t(r.size())) _exit(4);
            if (write(acks[1], &i, sizeof i) != sizeof i) _exit(3);
        }
    }
    close(acks[1]);
    uint32_t accepted = 0, value = 0;
    while (accepted < 500 && read(acks[0], &value, sizeof value) == sizeof value) accepted = value + 1;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    while (read(acks[0], &value, sizeof value) == sizeof value) accepted = value + 1;
    close(acks[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the recording ended by itself with status " << WEXITSTATUS(status);
    ASSERT_GE(accepted, 500u);

    const auto file = test::readFile(path);
    size_t at = 0;
    uint32_t whole = 0;
    for (;; ++whole) {
        const auto r = test::archiveRecord(2, uint8_t(whole), whole, 1 + whole % 700);
        if (file.size() - at < r.size()) {
            EXPECT_TRUE(std::equal(file.begin() + long(at), file.end(), r.begin())) << "record " << whole;
            break;
        }
        ASSERT_TRUE(std::equal(r.begin(), r.end(), file.begin() + long(at))) << "record " << whole;
        at += r.size();
    }
    EXPECT_GE(whole, accepted);
}

} // namespace
} // namespace cv
