// What recording a record costs the thread that takes it from the stream: handed to the
// recorder's writer thread (the time index included), against the one write() a record cost
// that thread when it wrote the file itself, in the same run; and against a store that does not
// answer, where the queue is full and every record is refused.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "archive/archive_files.h"
#include "archive/archive_recorder.h"
#include "base/bytes.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
#include "stalling_files.h"

namespace {

std::vector<uint8_t> record(size_t payload) {
    std::vector<uint8_t> r(payload + 32, 'A');
    r[0] = 1;
    r[2] = 2;
    cv::putU16le(&r[4], uint16_t(payload));
    cv::putU16le(&r[10], uint16_t(payload));
    for (size_t i = 0; i < 4; ++i) r[28 + payload + i] = '#';
    return r;
}

std::string scratch(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

// The file written on the taking thread: one write() of the record to a file opened for appending.
void BM_WriteOnTheTakingThread(benchmark::State& state) {
    const auto r = record(size_t(state.range(0)));
    const std::string path = scratch("bench_recorder_direct.arc");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    for (auto _ : state) benchmark::DoNotOptimize(::write(fd, r.data(), r.size()));
    ::close(fd);
    std::filesystem::remove(path);
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_WriteOnTheTakingThread)->Arg(64)->Arg(256)->Arg(1024)->Iterations(100000);

// Handed to the writer thread; the writer is let catch up (untimed) every 256 records, as the
// line's pace lets it.
void BM_HandToTheWriter(benchmark::State& state) {
    const auto r = record(size_t(state.range(0)));
    const std::string path = scratch("bench_recorder_queued.arc");
    cv::SystemClock clock;
    cv::SilentDialogs dialogs;
    cv::WarningBox warnings(dialogs);
    cv::ArchiveRecorder recorder(clock, warnings);
    recorder.startContinuous(path);
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recorder.appendRecord(r.data(), r.size()));
        if (++n % 256 == 0) {
            state.PauseTiming();
            recorder.waitForWriter(std::chrono::seconds(10));
            state.ResumeTiming();
        }
    }
    recorder.stop();
    if (recorder.failedWrites() > 0) state.SkipWithError("records were lost");
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".utc");
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_HandToTheWriter)->Arg(64)->Arg(256)->Arg(1024)->Iterations(100000);

// A store whose every call waits until released: the queue fills and each record is refused.
void BM_HandToAStalledWriter(benchmark::State& state) {
    const auto r = record(size_t(state.range(0)));
    cv::SystemClock clock;
    cv::SilentDialogs dialogs;
    cv::WarningBox warnings(dialogs);
    cv::test::StallingFiles files;
    files.stall(true);
    {
        cv::ArchiveRecorder recorder(clock, warnings, &files);
        recorder.startContinuous("stalled.arc");
        for (auto _ : state) benchmark::DoNotOptimize(recorder.appendRecord(r.data(), r.size()));
        files.stall(false);
        recorder.stop();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_HandToAStalledWriter)->Arg(256)->Iterations(100000);

// A clock the day's simulation sets, UTC as local time.
class DayClock : public cv::SystemClock {
public:
    int64_t ms = 0;
    int64_t now() override { return ms / 1000; }
    std::tm localTime(int64_t seconds) override {
        const time_t t = time_t(seconds);
        std::tm fields{};
        gmtime_r(&t, &fields);
        return fields;
    }
    long offsetWest() override { return 0; }
    int hundredths() override { return int(ms % 1000 / 10); }
    int64_t utcMs() override { return ms; }
};

// Counts what each file gets, keeping nothing.
struct CountingFiles : cv::ArchiveFiles {
    std::mutex mutex;
    std::map<std::string, int64_t> bytes;
    std::map<int, std::string> handles;
    int next = 3;
    int open(const std::string& path, bool truncate) override {
        std::lock_guard lock(mutex);
        if (truncate) bytes[path] = 0;
        bytes[path];
        handles[next] = path;
        return next++;
    }
    int64_t size(int h) override {
        std::lock_guard lock(mutex);
        return bytes[handles.at(h)];
    }
    long write(int h, const uint8_t*, size_t count) override {
        std::lock_guard lock(mutex);
        bytes[handles.at(h)] += int64_t(count);
        return long(count);
    }
    bool truncate(int h, int64_t length) override {
        std::lock_guard lock(mutex);
        bytes[handles.at(h)] = length;
        return true;
    }
    bool flush(int) override { return true; }
    void close(int) override {}
};

// A simulated day of a daily recording: records every `range(0)` ms with 100 bytes of data,
// the second's and the minute's work as the Host does them. Reports the archive's and the time
// index's sizes.
void BM_TimeIndexOfADay(benchmark::State& state) {
    const int64_t every = state.range(0);
    const auto r = record(100);
    for (auto _ : state) {
        DayClock clock;
        clock.ms = int64_t(1765152000) * 1000;  // 2025-12-08T00:00:00Z
        cv::SilentDialogs dialogs;
        cv::WarningBox warnings(dialogs);
        CountingFiles files;
        cv::MinuteWatch minutes(clock);
        {
            cv::ArchiveRecorder recorder(clock, warnings, &files);
            recorder.startPeriodic(cv::recording::kDaily, "day");
            const int64_t end = clock.ms + 86'400'000 - 1000;
            for (int64_t next = clock.ms; clock.ms < end; clock.ms += 5) {
                if (clock.ms >= next) {
                    recorder.appendRecord(r.data(), r.size());
                    next += every;
                }
                if (clock.ms % 1000 == 0) {
                    recorder.collect();
                    if (minutes.newMinute()) recorder.minuteTick();
                    recorder.waitForWriter(std::chrono::seconds(10));
                }
            }
            recorder.stop();
            if (recorder.failedWrites() > 0) state.SkipWithError("records were lost");
        }
        int64_t archive = 0, index = 0;
        for (const auto& [path, size] : files.bytes) (path.ends_with(".utc") ? index : archive) += size;
        state.counters["archive_MB"] = double(archive) / 1e6;
        state.counters["index_KB"] = double(index) / 1e3;
        state.counters["index_pct"] = 100.0 * double(index) / double(archive);
    }
}
BENCHMARK(BM_TimeIndexOfADay)->Arg(50)->Arg(1000)->Arg(5000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
