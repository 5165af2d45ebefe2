// Extraction held against generated run files (what each source carried must come out, in
// order, and every archive record must be well framed), and a bounded fuzz pass over random
// and mutated run files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <tuple>

#include "extract/output_store.h"
#include "extract/run_extraction.h"
#include "extract_test_support.h"
#include "run_file_generator.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

using sim::RunFileStyle;

void expectFile(const std::filesystem::path& path, const std::vector<uint8_t>& expected) {
    if (expected.empty()) {
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
    } else {
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_EQ(readBytes(path), expected) << path;
    }
}

sim::RunFileSections sectionStreams(const std::vector<ArchiveRecord>& records, bool (*take)(const ArchiveRecord&)) {
    sim::RunFileSections out;
    for (const auto& r : records) {
        if (!take(r)) continue;
        for (int s = 1; s <= 9; ++s) {
            auto bytes = r.section(s);
            out[size_t(s - 1)].insert(out[size_t(s - 1)].end(), bytes.begin(), bytes.end());
        }
    }
    return out;
}

bool builtByHost(const ArchiveRecord& r) { return r.head[0] == 1; }
bool windowRecord(const ArchiveRecord& r) { return r.head[0] == 1 && r.head[1] == 0; }
bool headerRecord(const ArchiveRecord& r) { return r.head[0] == 1 && r.head[1] == 1; }

class GeneratedRun : public ::testing::TestWithParam<std::tuple<RunFileStyle, int>> {};

TEST_P(GeneratedRun, OutputsHoldWhatTheRecordsCarried) {
    const auto [style, seed] = GetParam();
    sim::RunFileOptions options;
    options.style = style;
    options.seed = uint64_t(seed) * 7919 + uint64_t(style);
    options.targetSize = 20000 + size_t(seed) * 9000;
    options.runNumber = 7;
    options.burstPercent = 4;
    sim::RunFileExpectation expected;
    TempDir dir;
    ASSERT_TRUE(sim::RunFileGenerator(options).writeFile(dir / "run.007", &expected));

    ExtractionState state;
    RecordedWarnings warnings;
    ExtractionResult result = extractRunFile(dir / "run.007", ExtractChoice::ArchivePlusRaw, {}, state, warnings);
    ASSERT_EQ(result.status, ExtractStatus::Extracted);
    EXPECT_TRUE(warnings.seen.empty());
    EXPECT_EQ(result.records, expected.records);
    EXPECT_EQ(result.rejectedHeaders, 0u);

    for (int port = 1; port <= 8; ++port)
        expectFile(dir / ("Port" + std::to_string(port) + ".007"), expected.ports[size_t(port - 1)]);
    expectFile(dir / "analog.007", expected.analog);
    expectFile(dir / "timestp.007", expected.timeStamps);
    expectFile(dir / "Battery.007", expected.battery);
    EXPECT_EQ(readText(dir / "Summary.007").rfind("Run # 7:", 0), 0u);

    std::vector<ArchiveRecord> records;
    const auto archiveBytes = readBytes(dir / "archive.007");
    ASSERT_TRUE(parseArchive(archiveBytes, records)) << "records must follow one another exactly";
    size_t inconsistent = 0;
    std::vector<std::vector<uint8_t>> krMux;
    for (const auto& r : records) {
        EXPECT_EQ(r.trailer, "####");
        if (!r.sectionsAddUp()) ++inconsistent;
        if (builtByHost(r)) {
            EXPECT_TRUE(r.sectionsAddUp());
            EXPECT_GT(r.length, 0);
            for (auto length : r.sectionLengths) EXPECT_LE(length, 10000);
        } else {
            krMux.push_back(r.stored);
        }
    }
    EXPECT_EQ(inconsistent, expected.inconsistentKrMux);
    EXPECT_EQ(krMux, expected.krMuxRecords);

    switch (style) {
    case RunFileStyle::TimeWindows:
        EXPECT_EQ(sectionStreams(records, builtByHost), expected.windowSections);
        break;
    case RunFileStyle::HeaderBlocks:
        EXPECT_EQ(sectionStreams(records, builtByHost), expected.headerBlockSections);
        break;
    case RunFileStyle::Mixed:
        EXPECT_EQ(sectionStreams(records, windowRecord), expected.windowSections);
        EXPECT_EQ(sectionStreams(records, headerRecord), expected.headerBlockSections);
        break;
    case RunFileStyle::KrMux:
        EXPECT_EQ(records.size(), expected.krMuxRecords.size());
        break;
    }

    // The choice decides the raw files only: the archive comes out the same without them.
    std::filesystem::create_directories(dir / "archive-only");
    ExtractOptions archiveOnly;
    archiveOnly.outputDirectory = dir / "archive-only";
    ExtractionState freshState;
    extractRunFile(dir / "run.007", ExtractChoice::ArchiveOnly, archiveOnly, freshState, warnings);
    EXPECT_EQ(readBytes(dir / "archive-only/archive.007"), archiveBytes);
    EXPECT_FALSE(std::filesystem::exists(dir / "archive-only/analog.007"));
}

std::string generatedRunName(const ::testing::TestParamInfo<std::tuple<RunFileStyle, int>>& info) {
    static const char* const kStyles[] = {"TimeWindows", "HeaderBlocks", "KrMux", "Mixed"};
    return std::string(kStyles[int(std::get<0>(info.param))]) + "_" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Extraction, GeneratedRun,
                         ::testing::Combine(::testing::Values(RunFileStyle::TimeWindows, RunFileStyle::HeaderBlocks,
                                                              RunFileStyle::KrMux, RunFileStyle::Mixed),
                                            ::testing::Range(0, 12)),
                         generatedRunName);

TEST(RunFileGenerator, SameSeedGivesTheSameBytesAndTheTargetSizeIsReached) {
    sim::RunFileOptions options;
    options.seed = 42;
    options.targetSize = 50000;
    const auto a = sim::RunFileGenerator(options).bytes();
    const auto b = sim::RunFileGenerator(options).bytes();
    EXPECT_EQ(a, b);
    EXPECT_GE(a.size(), 50000u);
    EXPECT_LT(a.size(), 50000u + 6 * 2084);
    options.seed = 43;
    EXPECT_NE(sim::RunFileGenerator(options).bytes(), a);
}

// ---- fuzz ----------------------------------------------------------------------------------

uint64_t outputBytes(const MemoryOutputStore& outputs, const ExtractionResult& result) {
    uint64_t total = outputs.bytes("log.dat").size();
    for (const auto& name : result.files) total += outputs.bytes(name.string()).size();
    return total;
}

// Records of any type and size, valid or not, with payloads that are partly plausible.
std::vector<uint8_t> randomRecords(std::mt19937& rng) {
    std::vector<uint8_t> out;
    const int count = int(rng() % 60);
    for (int i = 0; i < count; ++i) {
        const int type = int(rng() % 30);
        int size = int(rng() % 8 == 0 ? rng() % 2200 : rng() % 64);
        std::vector<uint8_t> payload(static_cast<size_t>(size));
        for (auto& b : payload) b = uint8_t(rng());
        if (type == 23 && size >= 32 && rng() % 2) {
            // Data length and section lengths that sometimes fit the record.
            putU16be(payload.data() + 4, uint16_t(size - 32 + int(rng() % 3) - 1));
            for (int s = 0; s < 9; ++s) putU16be(payload.data() + 10 + 2 * s, uint16_t(rng() % 3 == 0 ? rng() % 40 : 0));
        }
        if (rng() % 16 == 0) size = int(rng() % 65536) - 32768;  // header that lies about the size
        uint8_t h[4];
        putU16le(h, uint16_t(size));
        putU16le(h + 2, uint16_t(type));
        out.insert(out.end(), h, h + 4);
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

std::vector<uint8_t> mutated(std::mt19937& rng, std::vector<uint8_t> bytes) {
    const int edits = 1 + int(rng() % 8);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const size_t at = rng() % bytes.size();
        switch (rng() % 5) {
        case 0: bytes[at] = uint8_t(rng()); break;
        case 1: bytes.insert(bytes.begin() + std::ptrdiff_t(at), uint8_t(rng())); break;
        case 2: bytes.erase(bytes.begin() + std::ptrdiff_t(at)); break;
        case 3: bytes.resize(at); break;
        case 4: {
            const size_t len = std::min<size_t>(rng() % 64, bytes.size() - at);
            std::vector<uint8_t> copy(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + len));
            bytes.insert(bytes.begin() + std::ptrdiff_t(rng() % bytes.size()), copy.begin(), copy.end());
            break;
        }
        }
    }
    return bytes;
}

TEST(ExtractionFuzz, AnyBytesAreHandledAndOutputsStayBounded) {
    std::mt19937 rng(20240607);
    MemoryOutputStore outputs;
    ExtractionState state;  // one program run: counters carry on across all the files
    std::vector<uint8_t> seedRun;
    {
        sim::RunFileOptions options;
        options.seed = 5;
        options.targetSize = 12000;
        seedRun = sim::RunFileGenerator(options).bytes();
    }
    // A longer pass can be asked for by hand; the ordinary run stays short.
    const char* asked = std::getenv("CVHOST_FUZZ_ITERATIONS");
    const int iterations = asked ? std::atoi(asked) : 600;
    for (int i = 0; i < iterations; ++i) {
        std::vector<uint8_t> input;
        switch (i % 3) {
        case 0: {
            input.resize(rng() % 3000);
            for (auto& b : input) b = uint8_t(rng());
            if (input.size() >= 4 && rng() % 2) {  // a valid first header, so the rest is walked
                putU16le(input.data(), uint16_t(1 + rng() % 40));
                putU16le(input.data() + 2, uint16_t(1 + rng() % 25));
            }
            break;
        }
        case 1: input = randomRecords(rng); break;
        case 2: input = mutated(rng, seedRun); break;
        }
        outputs.clear();
        RecordedWarnings warnings;
        ExtractOptions options;
        options.debugListing = i % 2 == 0;
        const ExtractionResult result = extractRunBytes("run.001", input.data(), input.size(),
                                                        ExtractChoice(i % 4 == 0 ? 0 : 1), options, state, warnings, outputs);

        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_NE(result.status, ExtractStatus::CannotOpen);
        EXPECT_LE(result.records + result.rejectedHeaders, input.size());
        EXPECT_LE(outputBytes(outputs, result), 64 * uint64_t(input.size()) + 8192);
        EXPECT_LE(warnings.seen.size(), result.unknownRecords + 2 + uint64_t(result.files.size()));
        std::vector<ArchiveRecord> records;
        EXPECT_TRUE(parseArchive(outputs.bytes("archive.001"), records));
    }
}

} // namespace
} // namespace cv::test
