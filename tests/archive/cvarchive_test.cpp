// cvarchive as a user runs it: the tables of an archive recorded from the simulated logger and of
// one the extraction wrote, checked against copies under tests/archive/cvarchive_data (rewritten
// with CVHOST_UPDATE_GOLDEN=1), and the faults and usage errors it must report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/cvarchive_command.h"
#include "archive/archive_recorder.h"
#include "archive/time_index.h"
#include "archive_support.h"
#include "stream/mux_stream.h"
#include "live_stream.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

namespace fs = std::filesystem;

fs::path sourceDir() {
    fs::path source = __FILE__;
    if (source.is_relative()) {
        std::error_code ec;
        source = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / source;
    }
    return source.parent_path().lexically_normal();
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Outcome {
    int status;
    std::string out, err;
};

Outcome cvarchive(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = runArchiveCommand(args, out, err, false);
    return {status, out.str(), err.str()};
}

void expectGolden(const std::string& actual, const std::string& name) {
    const fs::path golden = sourceDir() / "cvarchive_data" / name;
    const char* update = std::getenv("CVHOST_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        fs::create_directories(golden.parent_path());
        std::ofstream(golden, std::ios::binary) << actual;
    }
    EXPECT_EQ(actual, readFile(golden)) << "differs from " << golden;
}

// The arrival times as the recorder notes them, fixed: an anchor at the first record of each
// interval (its time stamp counts tenths of a second), the records after it spread up to the next.
void writeTimeIndex(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    ASSERT_TRUE(file);
    ArchiveWalker walker(file.get(), fs::file_size(path));
    ArchiveRecordInfo r;
    std::string index = "KR-8 time index 1\r\n";
    std::optional<uint32_t> last;
    while (walker.next(r) == ArchiveWalk::Record) {
        if (r.timeStamp != last)
            index += std::to_string(r.offset) + " " + std::to_string(1796738400710 + int64_t(r.timeStamp) * 100) + "\r\n";
        last = r.timeStamp;
    }
    std::ofstream(TimeIndex::pathBeside(path), std::ios::binary) << index;
}

// Six intervals of the simulated logger's live stream (the time unit and loggers 2 and 3, one
// sequence gap each), recorded as the program records it.
void recordSimulatorStream(const std::string& path) {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    ArchiveRecorder recorder{clock, warnings};
    MuxStream stream{warnings};
    stream.addConsumer(&recorder);
    ASSERT_TRUE(recorder.startContinuous(path));
    sim::LiveStream live;
    live.begin({0, 2, 3}, 5);
    sim::StreamFaults faults;
    faults.gapEvery = 4;
    for (int i = 0; i < 6; ++i) {
        for (auto& p : live.interval(sim::defaultSetup(), uint32_t(i) * 10, 1700000000 + i, 2, faults)) {
            std::vector<uint8_t> record = p.record();
            stream.acceptMuxRecord(record.data(), record.size());
        }
    }
    recorder.stop();
    writeTimeIndex(path);
}

TEST(CvarchiveGolden, RecordedSimulatorStreamExportsAsCsv) {
    test::TempDir dir;
    const std::string path = (dir / "live.arc").string();
    ASSERT_NO_FATAL_FAILURE(recordSimulatorStream(path));
    const Outcome exported = cvarchive({"export", "--all", path});
    EXPECT_EQ(exported.status, kArchiveExitOk) << exported.err;
    expectGolden(exported.out, "recorded.csv");
    const Outcome listed = cvarchive({"list", path});
    EXPECT_EQ(listed.status, kArchiveExitOk);
    EXPECT_NE(listed.out.find("18 records"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("sequence gaps: id 0: 1, id 2: 1, id 3: 1"), std::string::npos) << listed.out;
}

// The numbers a scientist asks for: the position fields of the GGA sentences on port 3, and
// port 1, where the loggers send CTD lines (temperature first, salinity fourth) and the time
// unit its ZDA sentence.
TEST(CvarchiveGolden, RecordedSimulatorStreamFieldsAsCsv) {
    test::TempDir dir;
    const std::string path = (dir / "live.arc").string();
    ASSERT_NO_FATAL_FAILURE(recordSimulatorStream(path));
    std::string joined;
    for (const char* columns : {"3:GPGGA:2,3:GPGGA:4,3:GPGGA:9", "1:1,1:4,1:GPZDA:1"}) {
        const Outcome exported = cvarchive({"export", "--fields", columns, path});
        EXPECT_EQ(exported.status, kArchiveExitOk) << exported.err;
        EXPECT_EQ(exported.err, "");
        joined += std::string("== ") + columns + "\r\n" + exported.out;
    }
    expectGolden(joined, "fields.csv");
}

TEST(CvarchiveGolden, ExtractionArchivePortTablesAsTsv) {
    test::TempDir dir;
    const fs::path archive = sourceDir().parent_path() / "golden" / "data" / "seed-03" / "archive.003";
    const Outcome run = cvarchive({"export", "--format", "tsv", "-o", (dir / "out").string(), archive.string()});
    ASSERT_EQ(run.status, kArchiveExitOk) << run.err;
    std::string joined;
    for (const char* table : {"archive.003_port3.tsv", "archive.003_port4.tsv", "archive.003_analog.tsv"})
        joined += std::string("== ") + table + "\n" + readFile(dir / "out" / table);
    expectGolden(joined, "extraction.tsv");
}

// A record with the given sections (1..9) as bytes.
std::vector<uint8_t> recordWith(uint8_t id, uint8_t seq, uint32_t time, const std::map<int, std::string>& sections) {
    std::string payload;
    std::vector<uint8_t> r(28, 0);
    r[0] = 1;
    r[1] = 1;
    r[2] = id;
    r[3] = seq;
    putU32le(&r[6], time);
    for (const auto& [s, bytes] : sections) {
        putU16le(&r[10 + 2 * size_t(s - 1)], uint16_t(bytes.size()));
        payload += bytes;
    }
    putU16le(&r[4], uint16_t(payload.size()));
    r.insert(r.end(), payload.begin(), payload.end());
    r.insert(r.end(), {'#', '#', '#', '#'});
    return r;
}

// A line is joined per logger across records and stamped with the record it ended in; lines no
// column reads make no row; a wrong checksum and an absent field are empty cells, never zeros.
TEST(CvarchiveFields, SentenceLinesAcrossRecordsAndLoggers) {
    test::TempDir dir;
    writeFile(dir / "f", test::joined({recordWith(2, 0, 100, {{1, "9,9\r\n"}, {2, "$GPGGA,1,,x,-2.5e1*4F\r\n$GPGGA,2,3"}}),
                                       recordWith(3, 0, 150, {{2, "$GPGGA,5,6,7,8*5B\r\n$GPGGA,9"}}),
                                       recordWith(2, 1, 275, {{2, ",4*4F\r\n$GPZDA,1*55\r\n7;8\r\n"}})}));
    const Outcome run = cvarchive({"export", "--fields", "2:GPGGA:1,2:GPGGA:4", (dir / "f").string()});
    EXPECT_EQ(run.status, kArchiveExitOk);
    EXPECT_EQ(run.out, "time_stamp,seconds,utc,logger_id,2:GPGGA:1,2:GPGGA:4\r\n"
                       "100,1.00,,2,1,-2.5e1\r\n"
                       "150,1.50,,3,,\r\n"
                       "275,2.75,,2,2,\r\n"
                       "150,1.50,,3,9,\r\n");
    EXPECT_EQ(run.err, "cvarchive: 1 sentence with a wrong checksum; its fields are empty\n");
}

struct TableCase {
    const char* format;
    const char* table;
};
class CvarchiveTables : public ::testing::TestWithParam<TableCase> {};

TEST_P(CvarchiveTables, LinesAcrossRecordsAndFilesEscapingEncodingAndBinary) {
    test::TempDir dir;
    // Hourly files given out of order: they are one stream in name order.
    writeFile(dir / "a25101", recordWith(2, 0, 105, {{1, "say \"hi\",\tthen"}, {2, std::string("\x01\xFF", 2)}}));
    writeFile(dir / "a25102", recordWith(2, 1, 275, {{1, " more\\\r\nT=4\xB0" "C\r\n"}, {9, "\x10\x20"}}));
    const Outcome run =
        cvarchive({"export", "--format", GetParam().format, (dir / "a25102").string(), (dir / "a25101").string()});
    ASSERT_EQ(run.status, kArchiveExitOk) << run.err;
    EXPECT_EQ(run.out, GetParam().table);
}

INSTANTIATE_TEST_SUITE_P(Formats, CvarchiveTables,
                         ::testing::Values(TableCase{"csv",
                                                     "time_stamp,seconds,utc,logger_id,sequence,port,text,hex\r\n"
                                                     "105,1.05,,2,0,2,,01FF\r\n"
                                                     "105,1.05,,2,0,1,\"say \"\"hi\"\",\tthen more\\\",\r\n"
                                                     "275,2.75,,2,1,1,T=4\xC2\xB0" "C,\r\n"
                                                     "275,2.75,,2,1,analog,,1020\r\n"},
                                           TableCase{"tsv",
                                                     "time_stamp\tseconds\tutc\tlogger_id\tsequence\tport\ttext\thex\n"
                                                     "105\t1.05\t\t2\t0\t2\t\t01FF\n"
                                                     "105\t1.05\t\t2\t0\t1\tsay \"hi\",\\tthen more\\\\\t\n"
                                                     "275\t2.75\t\t2\t1\t1\tT=4\xC2\xB0" "C\t\n"
                                                     "275\t2.75\t\t2\t1\tanalog\t\t1020\n"}),
                         [](const auto& info) { return std::string(info.param.format); });

// A line that never ends is cut into rows of the longest length: a line of exactly that length
// is one row, a byte more makes a second row of one byte, and no byte is lost or doubled.
struct LongLine {
    size_t length;
    std::vector<size_t> rows;  // the lengths of the rows it comes out as
};
class CvarchiveLongLine : public ::testing::TestWithParam<LongLine> {};

TEST_P(CvarchiveLongLine, IsCutAtTheLongestLengthOnly) {
    test::TempDir dir;
    std::string line;
    for (size_t i = 0; i < GetParam().length; ++i) line += char('a' + i % 26);
    const std::string text = line + "\r\nend\r\n";
    std::vector<std::vector<uint8_t>> records;
    for (size_t at = 0; at < text.size(); at += 60000)
        records.push_back(recordWith(2, uint8_t(records.size()), 100, {{3, text.substr(at, 60000)}}));
    writeFile(dir / "long", test::joined(records));
    const Outcome run = cvarchive({"export", "--port", "3", (dir / "long").string()});
    ASSERT_EQ(run.status, kArchiveExitOk) << run.err;
    std::vector<std::string> rows;
    for (size_t at = run.out.find("\r\n") + 2; at < run.out.size();) {
        const size_t end = run.out.find("\r\n", at);
        size_t text = at;
        for (int comma = 0; comma < 6; ++comma) text = run.out.find(',', text) + 1;
        rows.push_back(run.out.substr(text, end - 1 - text));  // up to the empty hex cell
        at = end + 2;
    }
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "end");
    rows.pop_back();
    std::vector<size_t> lengths;
    std::string joined;
    for (const auto& r : rows) {
        lengths.push_back(r.size());
        joined += r;
    }
    EXPECT_EQ(lengths, GetParam().rows);
    EXPECT_TRUE(joined == line) << "bytes lost or doubled";
}

INSTANTIATE_TEST_SUITE_P(Lengths, CvarchiveLongLine,
                         ::testing::Values(LongLine{ArchiveExporter::kMaxLine, {ArchiveExporter::kMaxLine}},
                                           LongLine{ArchiveExporter::kMaxLine + 1, {ArchiveExporter::kMaxLine, 1}}),
                         [](const auto& info) { return info.index == 0 ? "Longest" : "OneByteLonger"; });

struct FaultCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* report;
};

class CvarchiveFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CvarchiveFault, VerifyNamesTheFirstFaultAndFails) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = test::joined({test::archiveRecord(2, 0, 10, 40), test::archiveRecord(2, 1, 20, 40),
                                               test::archiveRecord(2, 2, 30, 40)});
    GetParam().damage(bytes);
    writeFile(dir / "f", bytes);
    const Outcome run = cvarchive({"verify", (dir / "f").string()});
    EXPECT_EQ(run.status, kArchiveExitFault);
    EXPECT_NE(run.out.find(GetParam().report), std::string::npos) << run.out;
    // The records before the fault are still exported, and the fault still fails the export.
    const Outcome exported = cvarchive({"export", (dir / "f").string()});
    EXPECT_EQ(exported.status, kArchiveExitFault);
    EXPECT_NE(exported.out.find("\r\n10,,,2,0,1,"), std::string::npos) << exported.out;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CvarchiveFault,
    ::testing::Values(
        FaultCase{"TruncatedLastRecord", [](auto& b) { b.resize(b.size() - 5); }, "after 2 good records: offset 144: truncated"},
        FaultCase{"LengthTooShort",
                  [](auto& b) {
                      putU16le(&b[72 + 4], 38);
                      putU16le(&b[72 + 10], 38);
                  },
                  "offset 72: the trailer is not"},
        FaultCase{"HeaderCutShort", [](auto& b) { b.resize(144 + 10); }, "offset 144: truncated last record: 10 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

// The extraction copies a logger's record whose sections do not add up as it is: the tables go on
// past it, with its data whole in one hex cell, and the exit status says there were warnings.
TEST(Cvarchive, ARecordWhoseSectionsDoNotAddUpIsTakenWholeAndTheWalkGoesOn) {
    test::TempDir dir;
    std::vector<uint8_t> bytes = test::joined({recordWith(2, 0, 10, {{1, "a\r\n"}}), recordWith(2, 1, 20, {{1, "xyz"}}),
                                               recordWith(2, 2, 30, {{1, "b\r\n"}})});
    putU16le(&bytes[35 + 10], 2);  // the second record's port 1 claims 2 of its 3 bytes
    writeFile(dir / "f", bytes);
    const std::string file = (dir / "f").string();
    const Outcome verified = cvarchive({"verify", file});
    EXPECT_EQ(verified.status, kArchiveExitWarnings);
    EXPECT_EQ(verified.out, file + ": ok, 3 records, 105 bytes; 1 record whose sections do not add up\n");
    const Outcome listed = cvarchive({"list", file});
    EXPECT_EQ(listed.status, kArchiveExitWarnings);
    EXPECT_NE(listed.out.find("\n35\t2\t1\t20\t0.20\t-\t3\t2\t0\t0\t0\t0\t0\t0\t0\t0\tsections do not add up\n"),
              std::string::npos)
        << listed.out;
    const Outcome exported = cvarchive({"export", file});
    EXPECT_EQ(exported.status, kArchiveExitWarnings);
    EXPECT_EQ(exported.out, "time_stamp,seconds,utc,logger_id,sequence,port,text,hex\r\n"
                            "10,0.10,,2,0,1,a,\r\n"
                            "20,0.20,,2,1,,,78797A\r\n"
                            "30,0.30,,2,2,1,b,\r\n");
    EXPECT_NE(exported.err.find(file + ": offset 35: section lengths do not add up"), std::string::npos) << exported.err;
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;  // a usage error's fault, else a part of standard error
};

class CvarchiveUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CvarchiveUsage, ExitStatusAndOneLine) {
    const Outcome run = cvarchive(GetParam().args);
    EXPECT_EQ(run.status, GetParam().status);
    if (GetParam().status == kArchiveExitUsage) {
        EXPECT_EQ(run.err, "cvarchive: " + GetParam().err + "\nTry 'cvarchive --help'\n");
    } else {
        EXPECT_NE(run.err.find(GetParam().err), std::string::npos) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Args, CvarchiveUsage,
    ::testing::Values(UsageCase{"NoCommand", {}, 2, "no command given (list, export or verify)"},
                      UsageCase{"UnknownCommand", {"dump", "f"}, 2, "unknown command 'dump' (list, export or verify)"},
                      UsageCase{"NoFile", {"verify"}, 2, "no archive file given"},
                      UsageCase{"BadPort", {"export", "--port", "0", "f"}, 2, "--port '0': expected a port from 1 to 8"},
                      UsageCase{"TwoSelections", {"export", "--analog", "--port", "2", "f"}, 2,
                                "choose one of --port N, --analog and --all"},
                      UsageCase{"BadFormat", {"export", "--format=xls", "f"}, 2, "--format 'xls': expected csv, tsv or netcdf"},
                      UsageCase{"SelectionOnList", {"list", "--analog", "f"}, 2,
                                "--port, --analog, --all and -o belong to export"},
                      UsageCase{"FolderOnVerify", {"-o/tmp/x", "verify", "f"}, 2,
                                "--port, --analog, --all and -o belong to export"},
                      UsageCase{"FieldsOfTwoPorts", {"export", "--fields", "2:GPGGA:2", "--fields=3:1", "f"}, 2,
                                "--fields takes the fields of one port per call (ports 2 and 3 given)"},
                      UsageCase{"FieldsWithPort", {"export", "--port", "2", "--fields", "2:1", "f"}, 2,
                                "--fields chooses its port itself: leave out --port, --analog and --all"},
                      UsageCase{"FieldsOnList", {"list", "--fields", "2:1", "f"}, 2, "--fields belongs to export"},
                      UsageCase{"BadFieldColumn", {"export", "--fields", "2:1,2:GP-GGA:1", "f"}, 2,
                                "--fields '2:1,2:GP-GGA:1': expected a sentence name of letters and digits (GPGGA) "
                                "between the ':'"},
                      UsageCase{"NetcdfOfText", {"export", "--format", "netcdf", "-o", "d", "f"}, 2,
                                "--format netcdf writes the table of --fields only"},
                      UsageCase{"NetcdfWithoutFolder", {"export", "--fields", "1:1", "--format", "netcdf", "f"}, 2,
                                "--format netcdf writes a file: name its folder with -o"},
                      UsageCase{"MissingFile", {"list", "/nonexistent/archive"}, 1, "No such file"},
                      UsageCase{"FileAfterOptionsEnd", {"verify", "--", "-f"}, 1, "cvarchive: -f: No such file"},
                      UsageCase{"Folder", {"verify", "/tmp"}, 1, "is a folder"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv

namespace cv {
namespace {

void writeText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// Each file of an hourly recording has its own index. Read as one stream, a line keeps the time
// of the record it began in (text) or ended in (fields), whichever file that was.
TEST(CvarchiveUtc, HourlyFilesKeepTheirTimesAcrossFiles) {
    test::TempDir dir;
    writeFile(dir / "site26_342.013", test::joined({recordWith(2, 0, 100, {{1, "1,2\r\n"}}), recordWith(2, 1, 110, {{1, "3,"}})}));
    writeText(dir / "site26_342.013.utc", "KR-8 time index 1\r\n0 1796738399500\r\n37 1796738399900\r\n");
    writeFile(dir / "site26_342.014", recordWith(2, 2, 120, {{1, "4\r\n5,6\r\n"}}));
    writeText(dir / "site26_342.014.utc", "KR-8 time index 1\r\n0 1796738400100\r\n");
    const std::string first = (dir / "site26_342.013").string(), second = (dir / "site26_342.014").string();

    const Outcome text = cvarchive({"export", second, first});
    EXPECT_EQ(text.out, "time_stamp,seconds,utc,logger_id,sequence,port,text,hex\r\n"
                        "100,1.00,2026-12-08T13:59:59.500Z,2,0,1,\"1,2\",\r\n"
                        "110,1.10,2026-12-08T13:59:59.900Z,2,1,1,\"3,4\",\r\n"
                        "120,1.20,2026-12-08T14:00:00.100Z,2,2,1,\"5,6\",\r\n");
    const Outcome numbers = cvarchive({"export", "--fields", "1:2", first, second});
    EXPECT_EQ(numbers.out, "time_stamp,seconds,utc,logger_id,1:2\r\n"
                           "100,1.00,2026-12-08T13:59:59.500Z,2,2\r\n"
                           "120,1.20,2026-12-08T14:00:00.100Z,2,4\r\n"
                           "120,1.20,2026-12-08T14:00:00.100Z,2,6\r\n");
    const Outcome listed = cvarchive({"list", second});
    EXPECT_NE(listed.out.find("\n0\t2\t2\t120\t1.20\t2026-12-08T14:00:00.100Z\t8\t"), std::string::npos) << listed.out;
}

// AIS as ship systems send it, named without its '!' and checked; a number keeps its own text;
// a sentence column that reads nothing says so.
TEST(CvarchiveFields, ShipSentencesKeepTheirNumbersAsWritten) {
    test::TempDir dir;
    writeFile(dir / "f", recordWith(2, 0, 100, {{3, "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*24\r\n"
                                                    "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*25\r\n"
                                                    "$GPZDA,090101000000,074157.799*58\r\n"}}));
    const Outcome run =
        cvarchive({"export", "--fields", "3:AIVDM:1,3:AIVDM:6,3:GPZDA:1,3:GPZDA:2,3:HEHDT:1", (dir / "f").string()});
    EXPECT_EQ(run.status, kArchiveExitOk);
    EXPECT_EQ(run.out, "time_stamp,seconds,utc,logger_id,3:AIVDM:1,3:AIVDM:6,3:GPZDA:1,3:GPZDA:2,3:HEHDT:1\r\n"
                       "100,1.00,,2,1,0,,,\r\n"
                       "100,1.00,,2,,,,,\r\n"
                       "100,1.00,,2,,,090101000000,074157.799,\r\n");
    EXPECT_EQ(run.err, "cvarchive: 1 sentence with a wrong checksum; its fields are empty\n"
                       "cvarchive: 3:HEHDT:1: no HEHDT sentence on port 3 in the files\n");
}

// ncdump's text of a NetCDF file, without the lines that say when and how it was made.
std::string ncdump(const fs::path& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(popen(("ncdump '" + file.string() + "' 2>&1").c_str(), "r"),
                                                          &pclose);
    std::string text, line;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) {
        line = buffer;
        if (line.find(":date_created = ") == std::string::npos && line.find(":history = ") == std::string::npos &&
            line.find(":source = ") == std::string::npos)
            text += line;
    }
    return text;
}

// Read back as its users read it: the times from the index, the values, and a fill cell for a
// field that is absent, not a number, or in a sentence whose checksum is wrong.
TEST(CvarchiveNetcdf, ValuesFillCellsAndTimes) {
    test::TempDir dir;
    writeFile(dir / "f", test::joined({recordWith(2, 0, 100, {{1, "12.5,x\r\n$GPXDR,7,8*56\r\n"}}),
                                       recordWith(3, 0, 100, {{1, "-3\r\n$GPXDR,7,8*57\r\n"}})}));
    writeText(dir / "f.utc", "KR-8 time index 1\r\n0 1796738400250\r\n55 1796738401000\r\n");
    const Outcome run =
        cvarchive({"export", "--fields", "1:1,1:2,1:GPXDR:2", "--format", "netcdf", "-o", (dir / "out").string(),
                   (dir / "f").string()});
    ASSERT_EQ(run.status, kArchiveExitOk) << run.err;
    const std::string dump = ncdump(dir / "out" / "f_fields.nc");
    for (const char* part : {"double time(obs) ;", "time:units = \"seconds since 1970-01-01 00:00:00Z\" ;",
                             "field_1:long_name = \"1:1\" ;", "GPXDR_2:long_name = \"1:GPXDR:2\" ;",
                             ":Conventions = \"CF-1.8\" ;", ":port = 1 ;", ":logger_id = 2, 3 ;",
                             " logger_id = 2, 3 ;", " time = 1796738400.25, 1796738400.25, 1796738401, 1796738401 ;",
                             " logger_index = 0, 0, 1, 1 ;", " field_1 = 12.5, 7, -3, _ ;", " field_2 = _, 8, _, _ ;",
                             " GPXDR_2 = _, 8, _, _ ;"})
        EXPECT_NE(dump.find(part), std::string::npos) << part << " not in\n" << dump;
}

// CF needs a time: without the index nothing is written, and the message says what to do.
TEST(CvarchiveNetcdf, RefusedWithoutATimeIndex) {
    test::TempDir dir;
    writeFile(dir / "f", recordWith(2, 0, 100, {{1, "1\r\n"}}));
    const Outcome run = cvarchive({"export", "--fields", "1:1", "--format", "netcdf", "-o", (dir / "out").string(),
                                   (dir / "f").string()});
    EXPECT_EQ(run.status, kArchiveExitFault);
    EXPECT_EQ(run.err, "cvarchive: " + (dir / "f").string() + ": no time index (" + (dir / "f.utc").string() +
                           "); a NetCDF file needs the time of every row: export as csv or tsv instead\n");
    EXPECT_FALSE(fs::exists(dir / "out" / "f_fields.nc"));
}

TEST(CvarchiveGolden, RecordedSimulatorStreamAsNetcdf) {
    test::TempDir dir;
    const std::string path = (dir / "live.arc").string();
    ASSERT_NO_FATAL_FAILURE(recordSimulatorStream(path));
    const Outcome run = cvarchive({"export", "--fields", "1:1,1:4,1:GPZDA:1", "--format", "netcdf", "-o",
                                   (dir / "out").string(), path});
    ASSERT_EQ(run.status, kArchiveExitOk) << run.err;
    EXPECT_EQ(run.err, "");
    expectGolden(ncdump(dir / "out" / "live.arc_fields.nc"), "recorded.cdl");
}

} // namespace
} // namespace cv
