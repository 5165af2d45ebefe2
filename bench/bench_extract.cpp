// Extraction of a large generated run file with raw files on, against plain copies of the same
// file, so the cost of extraction can be read as a multiple of copying it. The run file is 64 MB
// unless CVEXTRACT_BENCH_MB names another size; peak resident memory is reported as a counter.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "extract/run_extraction.h"
#include "extract/warning_sink.h"
#include "run_file_generator.h"

namespace {

namespace fs = std::filesystem;

struct IgnoreWarnings : cv::WarningSink {
    size_t count = 0;
    void warning(const std::string&, const std::string&) override { ++count; }
};

size_t runFileMegabytes() {
    const char* asked = std::getenv("CVEXTRACT_BENCH_MB");
    const long mb = asked ? std::atol(asked) : 64;
    return size_t(mb > 0 ? mb : 64);
}

// The generated run file and the folders the outputs go to, removed when the program ends.
class Workspace {
public:
    Workspace() {
        m_root = fs::temp_directory_path() / ("cvextract-bench-" + std::to_string(::getpid()));
        fs::create_directories(m_root / "out");
        cv::sim::RunFileOptions options;
        options.seed = 1;
        options.targetSize = runFileMegabytes() << 20;
        options.style = cv::sim::RunFileStyle::Mixed;
        options.runNumber = 1;
        m_runFile = m_root / "run.001";
        if (!cv::sim::RunFileGenerator(options).writeFile(m_runFile)) std::fprintf(stderr, "cannot write %s\n", m_runFile.c_str());
        m_size = fs::file_size(m_runFile);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    const fs::path& runFile() const { return m_runFile; }
    fs::path out() const { return m_root / "out"; }
    fs::path copy() const { return m_root / "copy.001"; }
    uint64_t size() const { return m_size; }

private:
    fs::path m_root;
    fs::path m_runFile;
    uint64_t m_size = 0;
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void finish(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(workspace().size()));
    state.counters["file_MB"] = double(workspace().size()) / (1 << 20);
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

void BM_ExtractWithRawFiles(benchmark::State& state) {
    Workspace& w = workspace();
    cv::ExtractOptions options;
    options.outputDirectory = w.out();
    uint64_t records = 0;
    for (auto _ : state) {
        cv::ExtractionState persistent;
        IgnoreWarnings warnings;
        const cv::ExtractionResult result =
            cv::extractRunFile(w.runFile(), cv::ExtractChoice::ArchivePlusRaw, options, persistent, warnings);
        records = result.records;
        benchmark::DoNotOptimize(records);
    }
    state.counters["records"] = double(records);
    finish(state);
}

void BM_CopyFile(benchmark::State& state) {
    Workspace& w = workspace();
    for (auto _ : state) fs::copy_file(w.runFile(), w.copy(), fs::copy_options::overwrite_existing);
    finish(state);
}

// What cp does without kernel help: read a block, write it, until the end.
void BM_CopyReadWriteLoop(benchmark::State& state) {
    Workspace& w = workspace();
    std::vector<char> buffer(1 << 17);
    for (auto _ : state) {
        std::FILE* in = std::fopen(w.runFile().c_str(), "rb");
        std::FILE* out = std::fopen(w.copy().c_str(), "wb");
        if (!in || !out) {
            state.SkipWithError("cannot open the copy files");
            if (in) std::fclose(in);
            if (out) std::fclose(out);
            break;
        }
        size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) std::fwrite(buffer.data(), 1, n, out);
        std::fclose(in);
        std::fclose(out);
    }
    finish(state);
}

BENCHMARK(BM_ExtractWithRawFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyReadWriteLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
