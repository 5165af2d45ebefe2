// Byte-for-byte comparison of what the program writes with copies checked in under
// tests/golden/data: the setup block sent to the logger, the archive, Summary and debug
// listing that extraction makes of seeded run files, and the layout of a host setup file.
//
// A change that alters these bytes on purpose regenerates the copies with
//     CVHOST_UPDATE_GOLDEN=1 build/tests/cvhost_tests_golden
// which rewrites every file instead of comparing; review the difference before committing it.
// CVHOST_GOLDEN_DIR names the data folder when the test cannot find it beside its source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/text_format.h"
#include "extract/run_extraction.h"
#include "extract/warning_sink.h"
#include "run_file_generator.h"
#include "setup/record_builders.h"
#include "setup/setup_record.h"
#include "settings/host_setup_file.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

namespace fs = std::filesystem;

bool updating() {
    const char* v = std::getenv("CVHOST_UPDATE_GOLDEN");
    return v && std::string(v) == "1";
}

// The compiler may see this file by a path relative to the build folder, which is the parent
// of the folder the test program lives in.
fs::path goldenDir() {
    if (const char* dir = std::getenv("CVHOST_GOLDEN_DIR")) return dir;
    fs::path source = __FILE__;
    if (source.is_relative()) {
        std::error_code ec;
        source = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / source;
    }
    return (source.parent_path() / "data").lexically_normal();
}

// Compares `actual` with the golden file (or rewrites it when updating); the failure names the
// first offset where the two part.
::testing::AssertionResult matchesGolden(const std::vector<uint8_t>& actual, const fs::path& golden) {
    if (updating()) {
        fs::create_directories(golden.parent_path());
        std::ofstream out(golden, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(actual.data()), std::streamsize(actual.size()));
        if (!out.flush()) return ::testing::AssertionFailure() << "cannot write " << golden;
        return ::testing::AssertionSuccess();
    }
    if (!fs::exists(golden))
        return ::testing::AssertionFailure() << golden << " is missing; CVHOST_UPDATE_GOLDEN=1 writes it";
    const std::vector<uint8_t> expected = readFile(golden);
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a == actual.end() && e == expected.end()) return ::testing::AssertionSuccess();
    const size_t offset = size_t(a - actual.begin());
    auto byteAt = [](const std::vector<uint8_t>& v, size_t at) {
        return at < v.size() ? format("0x%02x", v[at]) : std::string("end of file");
    };
    return ::testing::AssertionFailure()
           << golden.filename().string() << " differs from the golden copy at offset " << offset
           << format(" (0x%zx)", offset) << ": got " << byteAt(actual, offset) << ", expected "
           << byteAt(expected, offset) << "; sizes " << actual.size() << " and " << expected.size();
}

// ---- Setup block --------------------------------------------------------------------------

struct SetupCase {
    const char* name;
    setup::SetupControls controls;
    bool integratedMeter;
    bool heldFromLogger;  // a setup was received before: its reserved bytes go back unchanged
};
void PrintTo(const SetupCase& c, std::ostream* os) { *os << c.name; }

setup::SetupControls mooredWithPumps() {
    using namespace setup;
    SetupControls c;
    c.mode = kModeMoored;
    c.output = 0;
    c.file = 1;
    c.hostSpeed = kSpeed9600;
    c.portType = {porttype::kBq5, porttype::kMfx, porttype::kPump, 3, 0, 0, 6, 0};
    c.portSpeed = {kSpeed19200, kSpeed9600, kSpeedOn, 7, kSpeedOff, kSpeedOff, 4, kSpeedOff};
    c.analog = {1, 1, 2, 0, 0, 0, 1};
    c.pump = {1, 0, 0, 5};
    c.scheduleNumber = {0, 30, 2, 45, 10, 1};
    c.scheduleUnit = {kSeconds, kSeconds, kMinutes, kSeconds, kMinutes, kHours};
    c.lvCutOff = 95;
    c.analogRate = 1;
    c.autoStart = true;
    c.oncePerHour = serialHourBit(0) | analogHourBit(1) | pumpHourBit(3);
    return c;
}

setup::SetupControls realTimeWithMeter() {
    using namespace setup;
    SetupControls c;
    c.mode = kModeRealTime;
    c.output = kOutputRealTimeData;
    c.file = 1;
    c.timeSource = 1;
    c.hostSpeed = 11;
    c.portType = {porttype::kBinary, 0, 0, 0, 0, 0, 0, 12};
    c.portSpeed = {kSpeed9600, kSpeedOff, kSpeedOff, kSpeedOff, kSpeedOff, kSpeedOff, kSpeedOff, 11};
    c.scheduleUnit = {kSeconds, kSeconds, kSeconds, kSeconds, kSeconds, kSeconds};
    c.analogRate = 20;
    c.oncePerHour = serialHourBit(7);  // not a moored mode: must not reach the record
    return c;
}

setup::SetupControls profileAllOff() {
    using namespace setup;
    SetupControls c;
    c.mode = kModeProfile;
    c.output = 1;
    c.file = kFileNoStorage;
    c.hostSpeed = kSpeed19200;
    c.portType.fill(porttype::kOff);
    c.portSpeed.fill(kSpeedOff);
    c.scheduleNumber = {1, 0, 5, 0, 100, 24};
    c.scheduleUnit = {kHours, kMinutes, kSeconds, kMinutes, kSeconds, kHours};
    c.lvCutOff = 65;
    return c;
}

class GoldenSetup : public ::testing::TestWithParam<SetupCase> {};

TEST_P(GoldenSetup, EncodedBlockMatches) {
    SetupBytes held{};
    if (GetParam().heldFromLogger) held = SetupRecordBuilder().reserved().build();
    setup::encodeSetup(GetParam().controls, GetParam().integratedMeter, held);
    const std::vector<uint8_t> bytes(held.begin(), held.end());
    EXPECT_TRUE(matchesGolden(bytes, goldenDir() / "setup" / (std::string(GetParam().name) + ".bin")));
}

INSTANTIATE_TEST_SUITE_P(Setups, GoldenSetup,
                         ::testing::Values(SetupCase{"moored-pumps", mooredWithPumps(), false, true},
                                           SetupCase{"realtime-meter", realTimeWithMeter(), true, true},
                                           SetupCase{"profile-fresh", profileAllOff(), false, false}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

// ---- Extraction ---------------------------------------------------------------------------

struct Quiet : WarningSink {
    void warning(const std::string&, const std::string&) override {}
};

struct RunCase {
    uint64_t seed;
    sim::RunFileStyle style;
    size_t targetSize;
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << "seed " << c.seed; }

class GoldenExtraction : public ::testing::TestWithParam<RunCase> {};

TEST_P(GoldenExtraction, ArchiveSummaryAndListingMatch) {
    const RunCase& c = GetParam();
    sim::RunFileOptions options;
    options.seed = c.seed;
    options.style = c.style;
    options.targetSize = c.targetSize;
    options.runNumber = int16_t(c.seed);
    const std::vector<uint8_t> run = sim::RunFileGenerator(options).bytes();
    const std::string number = format("%03d", int(c.seed));
    const fs::path golden = goldenDir() / ("seed-" + format("%02d", int(c.seed)));
    // The generator is checked too, so a changed input is told apart from a changed extraction.
    EXPECT_TRUE(matchesGolden(run, golden / ("run." + number)));

    TempDir dir;
    const fs::path runFile = dir / ("run." + number);
    {
        std::ofstream out(runFile, std::ios::binary);
        out.write(reinterpret_cast<const char*>(run.data()), std::streamsize(run.size()));
    }
    ExtractOptions extract;
    extract.debugListing = true;
    ExtractionState state;
    Quiet warnings;
    const ExtractionResult result = extractRunFile(runFile, ExtractChoice::ArchiveOnly, extract, state, warnings);
    ASSERT_TRUE(result.usable());
    for (const std::string& name : {"archive." + number, "Summary." + number, std::string("log.dat")})
        EXPECT_TRUE(matchesGolden(readFile(dir / name), golden / name));
}

INSTANTIATE_TEST_SUITE_P(Seeds, GoldenExtraction,
                         ::testing::Values(RunCase{3, sim::RunFileStyle::Mixed, 24 * 1024},
                                           RunCase{11, sim::RunFileStyle::HeaderBlocks, 8 * 1024},
                                           RunCase{29, sim::RunFileStyle::KrMux, 12 * 1024}),
                         [](const auto& info) { return "Seed" + std::to_string(info.param.seed); });

// ---- Host setup file ----------------------------------------------------------------------

// Every value tells its line and position; line 2 holds "no host mode".
struct PatternPart : HostSetupPart {
    void writeHostSetupLine(int number, std::vector<int>& values) const override {
        for (size_t i = 0; i < values.size(); ++i) values[i] = number == 2 ? -1 : number * 10 + int(i);
    }
    void applyHostSetupLine(int, const std::vector<int>&, const HostSetupLoad&) override {}
};

TEST(GoldenHostSetup, WrittenFileMatches) {
    PatternPart part;
    TempDir dir;
    ASSERT_TRUE(hostsetup::save(dir / "last.cvh", {&part}));
    EXPECT_TRUE(matchesGolden(readFile(dir / "last.cvh"), goldenDir() / "host_setup" / "last.cvh"));
}

} // namespace
} // namespace cv::test
