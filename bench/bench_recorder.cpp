// What recording a record costs the thread that takes it from the stream: handed to the
// recorder's writer thread (the time index included), against the one write() a record cost
// that thread when it wrote the file itself, in the same run; and against a store that does not
// answer, where the queue is full and every record is refused.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "archive/archive_files.h"
#include "archive/archive_recorder.h"
#include "base/bytes.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"

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
struct StalledFiles : cv::ArchiveFiles {
    std::mutex mutex;
    std::condition_variable released;
    bool stalled = true;
    void wait() {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return !stalled; });
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            stalled = false;
        }
        released.notify_all();
    }
    int open(const std::string&, bool) override { return 3; }
    int64_t size(int) override { return 0; }
    long write(int, const uint8_t*, size_t count) override {
        wait();
        return long(count);
    }
    bool truncate(int, int64_t) override { return true; }
    bool flush(int) override { return true; }
    void close(int) override {}
};

void BM_HandToAStalledWriter(benchmark::State& state) {
    const auto r = record(size_t(state.range(0)));
    cv::SystemClock clock;
    cv::SilentDialogs dialogs;
    cv::WarningBox warnings(dialogs);
    StalledFiles files;
    {
        cv::ArchiveRecorder recorder(clock, warnings, &files);
        recorder.startContinuous("stalled.arc");
        for (auto _ : state) benchmark::DoNotOptimize(recorder.appendRecord(r.data(), r.size()));
        files.release();
        recorder.stop();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_HandToAStalledWriter)->Arg(256)->Iterations(100000);

} // namespace

BENCHMARK_MAIN();
