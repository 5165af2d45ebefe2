// The longest tick while a 30 MB run is extracted after its upload. The upload is driven in
// process, block by block, through the same session the window uses; after the run's last
// block the window's side is timed call by call (the end block, then a poll every 10 ms as the
// fast tick would) until "Upload is Complete".
//
// Counters:
//   longest_tick_ms         the longest of those calls with the file work on its own thread
//   inline_longest_tick_ms  the same with the file work in the calling thread (as before: the
//                           whole extraction sits in the tick that takes the end block)
//   ratio                   longest_tick_ms / inline_longest_tick_ms
//   extraction_s            end block to "Upload is Complete", file work on its own thread
//   ticks                   polls made meanwhile
//   run_bytes               the size of the run extracted
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "extract/run_extraction.h"
#include "memory/memory_fakes.h"
#include "memory/run_directory.h"
#include "memory/upload_session.h"
#include "ports/operator_dialogs.h"
#include "run_file_generator.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr size_t kRunSize = 30u * 1024 * 1024;

class BenchDialogs : public cv::OperatorDialogs {
public:
    explicit BenchDialogs(std::filesystem::path file) : m_file(std::move(file)) {}
    void beep(cv::Icon) override {}
    cv::Answer ask(const std::string&, const std::string&, cv::Buttons, cv::Icon) override { return cv::Answer::Ok; }
    std::optional<std::string> chooseSaveFile(const cv::FileChoice&) override { return m_file.string(); }
    std::optional<std::string> chooseOpenFile(const cv::FileChoice&) override { return {}; }

private:
    std::filesystem::path m_file;
};

class NullCommands : public cv::CommandSink {
public:
    bool sendCommand(uint16_t, uint16_t, uint32_t) override { return true; }
    bool sendBlock(const uint8_t*, size_t) override { return true; }
    bool sendRaw(const std::string&) override { return true; }
};


const std::vector<uint8_t>& thirtyMegabyteRun() {
    static const std::vector<uint8_t> run = [] {
        cv::sim::RunFileOptions options;
        options.seed = 30;
        options.targetSize = kRunSize;
        options.runNumber = 1;
        return cv::sim::RunFileGenerator(options).bytes();
    }();
    return run;
}

struct Figures {
    double longestTick = 0;  // seconds
    double extraction = 0;   // seconds
    long ticks = 0;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

Figures uploadAndExtract(cv::JobLane::Mode mode) {
    const std::vector<uint8_t>& run = thirtyMegabyteRun();
    cv::test::TempDir dir;
    BenchDialogs dialogs(dir.path() / "run.001");
    cv::WarningBox warnings(dialogs);
    NullCommands commands;
    cv::test::FakeView view;
    cv::RunDirectory directory(warnings, view);
    cv::ExtractionState state;
    const cv::ExtractRunFile extract = [&state](const std::filesystem::path& file, int, cv::WarningSink& w,
                                                const std::function<void(int)>& progress) {
        cv::ExtractOptions options;
        options.progress = progress;
        return cv::extractRunFile(file, cv::ExtractChoice::ArchiveOnly, options, state, w);
    };
    cv::JobLane lane(cv::UploadSession::kQueuedBlocks, mode);
    cv::UploadSession session(directory, commands, warnings, dialogs, view, extract, nullptr, &lane);

    directory.entryArrived(cv::test::entryPacket(1, uint32_t(run.size())));
    session.queueSelection({0}, 0);
    session.supervisionTick();
    session.finishFileWork();

    uint16_t number = 1;
    for (size_t at = 0; at < run.size(); at += cv::kUploadDataBytes, ++number) {
        const size_t n = std::min(cv::kUploadDataBytes, run.size() - at);
        session.blockArrived(cv::test::uploadBlock(number, int16_t(n), run, at));
        while (session.blockHeld()) {
            lane.waitIdle();
            session.poll();
        }
    }
    session.finishFileWork();  // every block on disk: only the extraction is measured below

    Figures f;
    const Clock::time_point start = Clock::now();
    session.blockArrived(cv::test::uploadBlock(number, 0));
    f.longestTick = seconds(Clock::now() - start);
    while (view.uploadRun != "Upload is Complete") {
        std::this_thread::sleep_for(10ms);
        const Clock::time_point tick = Clock::now();
        session.poll();
        f.longestTick = std::max(f.longestTick, seconds(Clock::now() - tick));
        ++f.ticks;
    }
    f.extraction = seconds(Clock::now() - start);
    return f;
}

void BM_LongestTickDuringExtraction30MB(benchmark::State& state) {
    Figures lane, inlined;
    for (auto _ : state) {
        lane = uploadAndExtract(cv::JobLane::Mode::Threaded);
        inlined = uploadAndExtract(cv::JobLane::Mode::Inline);
        state.SetIterationTime(lane.extraction);
    }
    state.counters["longest_tick_ms"] = lane.longestTick * 1000.0;
    state.counters["inline_longest_tick_ms"] = inlined.longestTick * 1000.0;
    state.counters["ratio"] = inlined.longestTick > 0 ? lane.longestTick / inlined.longestTick : 0;
    state.counters["extraction_s"] = lane.extraction;
    state.counters["ticks"] = double(lane.ticks);
    state.counters["run_bytes"] = double(thirtyMegabyteRun().size());
}
BENCHMARK(BM_LongestTickDuringExtraction30MB)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
