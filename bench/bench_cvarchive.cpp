// cvarchive export --all of a 64 MB archive (three text ports and the analog data per record)
// against a plain copy of the same file in the same run, so the cost of the tables reads as a
// multiple of copying. The peak resident memory after each is a counter: the export must not
// grow with the file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive/cvarchive_command.h"
#include "base/bytes.h"
#include "base/text_format.h"

namespace {

namespace fs = std::filesystem;
constexpr uint64_t kArchiveBytes = 64ull << 20;

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Written record by record, so making it does not raise the peak the export is judged by.
class Workspace {
public:
    Workspace() {
        m_root = fs::temp_directory_path() / ("cvarchive-bench-" + std::to_string(::getpid()));
        fs::create_directories(m_root / "out");
        std::FILE* f = std::fopen(archive().c_str(), "wb");
        uint64_t written = 0;
        for (uint32_t n = 0; written < kArchiveBytes; ++n) {
            std::string sections[9];
            for (int line = 0; line < 8; ++line) {
                sections[0] += cv::format("%05u, %6.3f, %5.2f, %4.1f\r\n", n, 12.0 + line * 0.01, 8.0 + n % 7, 14.0);
                sections[1] += cv::format("MFX %05u  30.%02u   4.42 100.86\r\n", n, line);
                sections[2] += cv::format("$GPGGA,2213%02u.00,4807.398,N,01131.672,E,1,08,0.9,2.5,M,46.9,M,,*69\r\n", line);
            }
            sections[8] = std::string(16, char(n));
            std::vector<uint8_t> r(28, 0);
            r[0] = 1;
            r[1] = 1;
            r[2] = uint8_t(2 + n % 2);
            r[3] = uint8_t(n / 2);
            cv::putU32le(&r[6], n * 25);
            size_t payload = 0;
            for (int s = 0; s < 9; ++s) {
                cv::putU16le(&r[10 + 2 * size_t(s)], uint16_t(sections[s].size()));
                r.insert(r.end(), sections[s].begin(), sections[s].end());
                payload += sections[s].size();
            }
            cv::putU16le(&r[4], uint16_t(payload));
            r.insert(r.end(), {'#', '#', '#', '#'});
            std::fwrite(r.data(), 1, r.size(), f);
            written += r.size();
        }
        std::fclose(f);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string archive() const { return (m_root / "archive.bin").string(); }
    std::string copy() const { return (m_root / "copy.bin").string(); }
    std::string out() const { return (m_root / "out").string(); }

private:
    fs::path m_root;
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

void BM_PlainCopy(benchmark::State& state) {
    Workspace& w = workspace();
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        std::FILE* in = std::fopen(w.archive().c_str(), "rb");
        std::FILE* out = std::fopen(w.copy().c_str(), "wb");
        size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) std::fwrite(buffer.data(), 1, n, out);
        std::fclose(in);
        std::fclose(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(w.archive())));
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportAll(benchmark::State& state) {
    Workspace& w = workspace();
    for (auto _ : state) {
        std::ostringstream out, err;
        const int status = cv::runArchiveCommand({"export", "--all", "-o", w.out(), w.archive()}, out, err, false);
        if (status != cv::kArchiveExitOk) state.SkipWithError(err.str().c_str());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(w.archive())));
    uint64_t tables = 0;
    for (const auto& e : fs::directory_iterator(w.out())) tables += e.file_size();
    state.counters["tables_MB"] = double(tables) / double(1 << 20);
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}
BENCHMARK(BM_ExportAll)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
