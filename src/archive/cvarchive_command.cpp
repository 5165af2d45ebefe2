#include "archive/cvarchive_command.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>

#include "archive/archive_field_table.h"
#include "archive/netcdf_table.h"
#include "archive/time_index.h"
#include "base/text_format.h"
#include "protocol/mux_record.h"

namespace cv {

namespace {
constexpr int kSections = mux::kSections;
constexpr uint64_t kProgressFrom = 4u << 20;

uint64_t fileLength(std::FILE* f) {
    if (fseeko(f, 0, SEEK_END) != 0) return 0;
    const off_t n = ftello(f);
    fseeko(f, 0, SEEK_SET);
    return n > 0 ? uint64_t(n) : 0;
}

struct OpenFile {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, &std::fclose};
    uint64_t length = 0;
    std::unique_ptr<char[]> buffer;  // the stream's own buffer, left uninitialised
};

bool openArchive(const std::string& path, OpenFile& f, std::ostream& err) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        err << "cvarchive: " << path << ": is a folder\n";
        return false;
    }
    f.file.reset(std::fopen(path.c_str(), "rb"));
    if (!f.file) {
        err << "cvarchive: " << path << ": " << std::strerror(errno) << "\n";
        return false;
    }
    // Large reads for large files, but a small file does not pay for a megabyte it never fills.
    struct stat info {};
    const uint64_t size = fstat(fileno(f.file.get()), &info) == 0 && info.st_size > 0 ? uint64_t(info.st_size) : 0;
    const size_t room = size_t(std::clamp<uint64_t>(size + 1, 4096, 1 << 20));
    f.buffer.reset(new char[room]);
    std::setvbuf(f.file.get(), f.buffer.get(), _IOFBF, room);
    f.length = fileLength(f.file.get());
    return true;
}

class Progress {
public:
    Progress(bool on, const std::string& name, uint64_t length, std::ostream& err)
        : m_reporting(on && length > kProgressFrom), m_name(name), m_length(length), m_errors(err) {}
    ~Progress() { done(); }
    // Ends the progress line, so what is reported next starts a line of its own.
    void done() {
        if (m_reporting && m_shown >= 0) m_errors << "\n" << std::flush;
        m_reporting = false;
    }
    void at(uint64_t position) {
        if (!m_reporting) return;
        const int percent = int(position * 100 / m_length);
        if (percent == m_shown) return;
        m_shown = percent;
        m_errors << "\rcvarchive: " << m_name << " " << percent << "%" << std::flush;
    }

private:
    bool m_reporting;
    std::string m_name;
    uint64_t m_length;
    std::ostream& m_errors;
    int m_shown = -1;
};

void reportFault(const std::string& path, const ArchiveWalker& w, std::ostream& err) {
    err << "cvarchive: " << path << ": offset " << w.faultOffset() << ": " << w.fault() << "\n";
}

constexpr const char* kProgram = "cvarchive";

struct Arguments {
    std::vector<std::string> given;  // the command line, for the history a NetCDF file keeps
    std::string command;
    ExportSelection selection;
    TableFormat format = TableFormat::Csv;
    bool netcdf = false;
    std::string outputDirectory;
    std::vector<fields::FieldColumn> fields;
    std::vector<std::string> files;
};

cli::Verdict parseArguments(const std::vector<std::string>& args, Arguments& a) {
    cli::CommandLine line(
        kProgram,
        {"list FILE...", "export [--port N|--analog|--all] [--format csv|tsv] [-o DIR] FILE...",
         "export --fields COLUMN[,COLUMN...] [--format csv|tsv] [-o DIR] FILE...", "verify FILE..."},
        "Reads archive files (recorded live, hourly or daily, or archive.NNN from the extraction).\n"
        "\n"
        "Commands:\n"
        "  list     one line per record: offset, logger ID, sequence number, time stamp (and in\n"
        "           seconds where the record counts 10 ms units), UTC, data length and the nine\n"
        "           section lengths; then a summary line per file\n"
        "  export   the text each port delivered, one row per line, with the time stamp, UTC,\n"
        "           logger ID and sequence number of the record the line began in; sections that\n"
        "           are not text, and the analog data, as hex, one row per record. Several files\n"
        "           are read in name order as one stream\n"
        "  export --fields\n"
        "           chosen numbers of one port: one row per line of the port, with the time stamp,\n"
        "           UTC and logger ID of the record the line ended in, then one column per field\n"
        "  verify   walks the records by their lengths and reports the first framing fault",
        "A record whose section lengths do not add up to its data length (the extraction\n"
        "copies such records from the logger as they are) is framed by its data length: list\n"
        "marks it in the note column, export writes its data as one hex cell (in the _unsplit\n"
        "table with -o) when every section is exported, and each is named on standard error.\n"
        "\n"
        "The utc column is the time the host took the record from the line (ISO 8601, ms, Z), from\n"
        "the time index that recording writes beside each archive file (FILE.utc). Where a file has\n"
        "none (recorded before it existed, or archive.NNN from the extraction) the cell is empty.\n"
        "\n"
        "With --fields, a PORT:FIELD column reads every line of the port (a sentence's fields counted\n"
        "after its name), a sentence column only its sentence's lines ($NAME or !NAME, named without\n"
        "the $ or !), and a row is written for each line one of the columns reads. A number keeps\n"
        "the text it had in the line. A field that is absent, not a number, or in a sentence whose\n"
        "checksum is wrong is an empty cell; such sentences, and lines longer than 4096 bytes, are\n"
        "counted on standard error, as is a sentence column whose sentence is in none of the files.\n"
        "With -o the table is <first file>_fields.csv (or .tsv, or .nc).\n"
        "\n"
        "--format netcdf writes the --fields table as one NetCDF-4 file in the folder -o names, a\n"
        "time series as the CF conventions describe it: time in seconds since 1970-01-01 UTC, one\n"
        "double variable per column, gaps as the fill value. It needs the time index of every file.\n"
        "\n"
        "Progress goes to standard error for files over 4 MB when it is a terminal.\n"
        "\n"
        "Exit status: 0 all well, 1 a file could not be read or is damaged (or has no time index\n"
        "for a NetCDF file), 2 bad usage,\n"
        "3 done with warnings (records whose sections do not add up).\n");
    bool analog = false, all = false;
    line.option("--port", "N", "export port N (1 to 8) only", [&a](const std::string& v) {
        if (v.size() != 1 || v[0] < '1' || v[0] > '8') return "a port from 1 to 8";
        a.selection.port = v[0] - '0';
        return "";
    });
    line.option("--fields", "COLUMN,...",
                "export the numbers of one port instead of its text: COLUMN is PORT:FIELD or PORT:SENTENCE:FIELD, "
                "fields counted from 1 (2:GPGGA:2 is the second field after $GPGGA)",
                [&a](const std::string& v) {
                    size_t from = 0;
                    for (;;) {
                        const size_t comma = v.find(',', from);
                        std::string fault;
                        const auto column = fields::parseFieldColumn(std::string_view(v).substr(from, comma - from), fault);
                        if (!column) return fault;
                        a.fields.push_back(*column);
                        if (comma == std::string::npos) return std::string();
                        from = comma + 1;
                    }
                });
    line.flag("--analog", analog, "export the analog data only");
    line.flag("--all", all, "export every port and the analog data (the default)");
    line.option("--format", "F",
                "csv (RFC 4180, the default) or tsv (tab, line end and backslash written as \\t, \\n, \\r and "
                "\\\\); UTF-8 with a header row. netcdf: the --fields table as a NetCDF-4 file (with -o)",
                [&a](const std::string& v) {
                    if (v != "csv" && v != "tsv" && v != "netcdf") return "csv, tsv or netcdf";
                    a.format = v == "tsv" ? TableFormat::Tsv : TableFormat::Csv;
                    a.netcdf = v == "netcdf";
                    return "";
                });
    line.option("-o,--output", "D", "write one table per port into folder D instead of one table to standard output",
                a.outputDirectory);
    std::vector<std::string> words;  // the command, then the files
    line.arguments(words);
    const cli::Verdict verdict = line.parse(args);
    if (!verdict.run()) return verdict;
    a.selection.analog = analog;
    if (!words.empty()) {
        a.command = words.front();
        a.files.assign(words.begin() + 1, words.end());
    }
    const size_t selections = line.count("--port") + line.count("--analog") + line.count("--all");
    if (a.command.empty()) return cli::usageError("no command given (list, export or verify)");
    if (a.command != "list" && a.command != "export" && a.command != "verify")
        return cli::usageError("unknown command '" + a.command + "' (list, export or verify)");
    if (a.command != "export" && (selections > 0 || line.count("--output") > 0))
        return cli::usageError("--port, --analog, --all and -o belong to export");
    if (selections > 1) return cli::usageError("choose one of --port N, --analog and --all");
    if (!a.fields.empty()) {
        if (a.command != "export") return cli::usageError("--fields belongs to export");
        if (selections > 0) return cli::usageError("--fields chooses its port itself: leave out --port, --analog and --all");
        for (const auto& column : a.fields)
            if (column.port != a.fields.front().port)
                return cli::usageError("--fields takes the fields of one port per call (ports " +
                                       std::to_string(a.fields.front().port) + " and " + std::to_string(column.port) +
                                       " given)");
    }
    if (a.netcdf && a.fields.empty()) return cli::usageError("--format netcdf writes the table of --fields only");
    if (a.netcdf && a.outputDirectory.empty())
        return cli::usageError("--format netcdf writes a file: name its folder with -o");
    if (a.files.empty()) return cli::usageError("no archive file given");
    a.given = args;
    return verdict;
}

// Walks each file record by record, with progress on a terminal: `record` sees every record,
// `end` the file's end (a fault or the last record) and says whether the file is whole. A record
// whose sections do not add up is named on stderr and makes the status "done with warnings".
template <class OnRecord, class OnEnd>
int walkEach(const std::vector<std::string>& files, std::ostream& err, bool progress, OnRecord record, OnEnd end) {
    int status = kArchiveExitOk;
    bool warned = false;
    for (const std::string& path : files) {
        OpenFile f;
        if (!openArchive(path, f, err)) {
            status = kArchiveExitFault;
            continue;
        }
        std::string indexFault;
        std::optional<TimeIndex> index = TimeIndex::load(path, f.length, indexFault);
        if (!indexFault.empty()) err << "cvarchive: " << indexFault << "; its records have no utc\n";
        ArchiveRecordInfo r;
        Progress shown(progress, path, f.length, err);
        // The first half of the progress is the counting walk, where there is one.
        uint64_t counted = 0;
        if (index && index->needsCount()) {
            // Records between two anchors are spread by their order, so first their number.
            ArchiveWalker counter(f.file.get(), f.length);
            while (counter.next(r) == ArchiveWalk::Record) {
                index->countRecord(r.offset);
                shown.at(counter.position() / 2);
            }
            counted = f.length;
        }
        ArchiveWalker walker(f.file.get(), f.length);
        ArchiveWalk step;
        while ((step = walker.next(r)) == ArchiveWalk::Record) {
            if (index) r.utcMs = index->place(r.offset);
            if (!r.sectionsAddUp) {
                warned = true;
                err << "cvarchive: " << path << ": offset " << r.offset << ": section lengths do not add up to the data "
                    << "length " << r.payload << "; the record is taken whole by its data length\n";
            }
            record(r);
            shown.at(counted ? (counted + walker.position()) / 2 : walker.position());
        }
        shown.done();
        if (!end(path, walker, step, f.length)) status = kArchiveExitFault;
    }
    return status == kArchiveExitOk && warned ? kArchiveExitWarnings : status;
}

int list(const Arguments& a, std::ostream& out, std::ostream& err, bool progress) {
    out << "offset\tid\tseq\ttime_stamp\tseconds\tutc\tlength\ts1\ts2\ts3\ts4\ts5\ts6\ts7\ts8\tanalog\tnote\n";
    uint64_t records = 0;
    uint32_t firstTime = 0, lastTime = 0;
    std::map<int, std::pair<int, uint64_t>> gaps;  // logger ID -> last sequence, gaps
    auto record = [&](const ArchiveRecordInfo& r) {
        out << r.offset << '\t' << int(r.loggerId) << '\t' << int(r.sequence) << '\t' << r.timeStamp << '\t'
            << (r.hasSeconds() ? secondsText(r) : "-") << '\t' << (r.utcMs ? utcText(*r.utcMs) : "-") << '\t'
            << r.payload;
        for (int s = 1; s <= kSections; ++s) out << '\t' << r.view.sectionLength(s);
        out << '\t' << (r.sectionsAddUp ? "" : "sections do not add up") << '\n';
        if (records++ == 0) firstTime = r.timeStamp;
        lastTime = r.timeStamp;
        auto [it, fresh] = gaps.try_emplace(r.loggerId, r.sequence, 0);
        if (!fresh) {
            if (r.sequence != uint8_t(it->second.first + 1) && r.sequence != it->second.first) ++it->second.second;
            it->second.first = r.sequence;
        }
    };
    auto end = [&](const std::string& path, const ArchiveWalker& walker, ArchiveWalk step, uint64_t) {
        out << "# " << path << ": " << records << " records, " << walker.position() << " bytes";
        if (records) out << ", time stamps " << firstTime << " to " << lastTime;
        out << ", sequence gaps:";
        if (gaps.empty()) out << " none";
        for (const auto& [id, g] : gaps) out << " id " << id << ": " << g.second << (id == gaps.rbegin()->first ? "" : ",");
        out << '\n';
        records = 0;
        gaps.clear();
        if (step != ArchiveWalk::Fault) return true;
        reportFault(path, walker, err);
        return false;
    };
    return walkEach(a.files, err, progress, record, end);
}

int verify(const Arguments& a, std::ostream& out, std::ostream& err, bool progress) {
    uint64_t records = 0, unsplit = 0;
    auto record = [&](const ArchiveRecordInfo& r) {
        ++records;
        if (!r.sectionsAddUp) ++unsplit;
    };
    auto end = [&](const std::string& path, const ArchiveWalker& walker, ArchiveWalk step, uint64_t length) {
        const bool whole = step != ArchiveWalk::Fault;
        if (whole)
            out << path << ": ok, " << records << " records, " << length << " bytes";
        else
            out << path << ": damaged after " << records << " good records: offset " << walker.faultOffset() << ": "
                << walker.fault();
        if (unsplit) out << "; " << unsplit << " record" << (unsplit == 1 ? "" : "s") << " whose sections do not add up";
        out << "\n";
        records = unsplit = 0;
        return whole;
    };
    return walkEach(a.files, err, progress, record, end);
}

// "cvarchive export --fields 3:1 -o 'my folder' f": the command as it was given.
std::string commandLine(const std::vector<std::string>& args) {
    std::string line = kProgram;
    for (const std::string& a : args) {
        const bool plain = !a.empty() && a.find_first_of(" \t\n'\"\\$`") == std::string::npos;
        line += " " + (plain ? a : "'" + a + "'");
    }
    return line;
}

std::string nowUtcText() {
    return utcText(int64_t(std::time(nullptr)) * 1000).substr(0, 19) + "Z";
}

// CF needs a time for every row: every file must have its index, whole.
bool everyFileHasItsIndex(const std::vector<std::string>& files, std::ostream& err) {
    bool all = true;
    for (const std::string& path : files) {
        std::error_code ec;
        const uint64_t length = std::filesystem::file_size(path, ec);
        std::string fault;
        if (ec || TimeIndex::load(path, length, fault)) continue;  // an unreadable file is named by the walk
        all = false;
        err << "cvarchive: " << (fault.empty() ? path + ": no time index (" + TimeIndex::pathBeside(path) + ")" : fault)
            << "; a NetCDF file needs the time of every row: export as csv or tsv instead\n";
    }
    return all;
}

int exportFields(const Arguments& given, std::ostream& out, std::ostream& err, bool progress) {
    Arguments a = given;
    std::sort(a.files.begin(), a.files.end());
    if (a.netcdf && !everyFileHasItsIndex(a.files, err)) return kArchiveExitFault;
    std::filesystem::path path;
    if (!a.outputDirectory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(a.outputDirectory, ec);
        path = std::filesystem::path(a.outputDirectory) /
               (std::filesystem::path(a.files.front()).filename().string() + "_fields" +
                (a.netcdf ? ".nc" : a.format == TableFormat::Csv ? ".csv" : ".tsv"));
    }
    std::ofstream file;
    std::ostream* table = &out;
    NetcdfTable netcdf;
    std::function<void(const FieldTable::Row&)> write;
    if (a.netcdf) {
        const std::string first = std::filesystem::path(a.files.front()).filename().string();
        NetcdfTable::Description about;
        about.title = "Port " + std::to_string(a.fields.front().port) + " of the logger archive " + first +
                      (a.files.size() == 2   ? " and the file after it"
                       : a.files.size() > 2 ? " and the " + std::to_string(a.files.size() - 1) + " files after it"
                                             : "");
        about.source = cli::versionLine(kProgram);
        about.dateCreated = nowUtcText();
        about.history = about.dateCreated + " " + commandLine(a.given);
        about.port = a.fields.front().port;
        std::string fault;
        if (!netcdf.create(path.string(), a.fields, about, fault)) {
            err << "cvarchive: cannot write " << path.string() << ": " << fault << "\n";
            return kArchiveExitFault;
        }
        write = [&](const FieldTable::Row& row) { netcdf.add(row); };
    } else {
        if (!path.empty()) {
            file.open(path, std::ios::binary | std::ios::trunc);
            if (!file) {
                err << "cvarchive: cannot write " << path.string() << "\n";
                return kArchiveExitFault;
            }
            table = &file;
        }
        write = [&](const FieldTable::Row& row) { *table << tableRow(FieldTable::textRow(row), a.format); };
    }
    FieldTable fields(a.fields, write);
    if (!a.netcdf) *table << tableRow(fields.header(), a.format);
    const int status = walkEach(
        a.files, err, progress, [&](const ArchiveRecordInfo& r) { fields.add(r); },
        [&](const std::string& path, const ArchiveWalker& walker, ArchiveWalk step, uint64_t) {
            if (step != ArchiveWalk::Fault) return true;
            reportFault(path, walker, err);
            return false;
        });
    fields.finish();
    if (const uint64_t n = fields.badChecksums())
        err << "cvarchive: " << n << (n == 1 ? " sentence" : " sentences") << " with a wrong checksum; "
            << (n == 1 ? "its" : "their") << " fields are empty\n";
    if (const uint64_t n = fields.cutLines())
        err << "cvarchive: " << n << (n == 1 ? " line" : " lines") << " longer than " << fields::LineSplitter::kMaxLine
            << " bytes; " << (n == 1 ? "its" : "their") << " fields are empty\n";
    for (const fields::FieldColumn& column : fields.sentencesNotFound())
        err << "cvarchive: " << column.text() << ": no " << column.sentence << " sentence on port " << column.port
            << " in the files\n";
    if (a.netcdf) {
        if (const uint64_t n = netcdf.rowsWithoutTime())
            err << "cvarchive: " << n << (n == 1 ? " row" : " rows")
                << " before the first time of the time index left out of the NetCDF file\n";
        std::string fault;
        if (!netcdf.close(fault)) {
            err << "cvarchive: " << path.string() << " could not be written whole: " << fault << "\n";
            return kArchiveExitFault;
        }
        return status;
    }
    if (!table->flush()) {
        err << "cvarchive: the table could not be written whole\n";
        return kArchiveExitFault;
    }
    return status;
}

int exportTables(const Arguments& given, std::ostream& out, std::ostream& err, bool progress) {
    Arguments a = given;
    // An hourly or daily series is one stream in the order its names sort.
    std::sort(a.files.begin(), a.files.end());
    const char* extension = a.format == TableFormat::Csv ? ".csv" : ".tsv";
    std::array<std::unique_ptr<std::ofstream>, kSections + 1> files;
    std::string stem;
    bool writeFailed = false;
    if (!a.outputDirectory.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(a.outputDirectory, ec);
        if (!std::filesystem::is_directory(a.outputDirectory, ec)) {
            err << "cvarchive: cannot make the folder " << a.outputDirectory << "\n";
            return kArchiveExitFault;
        }
        stem = std::filesystem::path(a.files.front()).filename().string();
    } else {
        out << tableRow(kExportHeader, a.format);
    }
    auto streamFor = [&](int section) -> std::ostream* {
        if (a.outputDirectory.empty()) return &out;
        auto& f = files[size_t(section)];
        if (!f) {
            const std::string table = section == 9   ? std::string("_analog")
                                      : section == 0 ? std::string("_unsplit")
                                                     : "_port" + std::to_string(section);
            const auto path = std::filesystem::path(a.outputDirectory) / (stem + table + extension);
            f = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
            if (!*f) {
                err << "cvarchive: cannot write " << path.string() << "\n";
                writeFailed = true;
            }
            *f << tableRow(kExportHeader, a.format);
        }
        return f.get();
    };
    ArchiveExporter exporter(a.selection, [&](int section, const TableRow& row) {
        *streamFor(section) << tableRow(row, a.format);
    });

    const int status = walkEach(
        a.files, err, progress, [&](const ArchiveRecordInfo& r) { exporter.add(r); },
        [&](const std::string& path, const ArchiveWalker& walker, ArchiveWalk step, uint64_t) {
            if (step != ArchiveWalk::Fault) return true;
            reportFault(path, walker, err);
            return false;
        });
    exporter.finish();
    out.flush();
    if (!out) writeFailed = true;
    for (auto& f : files) {
        if (f && !f->flush()) writeFailed = true;
    }
    if (writeFailed) {
        err << "cvarchive: the tables could not be written whole\n";
        return kArchiveExitFault;
    }
    return status;
}
} // namespace

int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress) {
    Arguments a;
    if (const cli::Verdict verdict = parseArguments(args, a); !verdict.run())
        return cli::finish(verdict, kProgram, out, err);
    if (a.command == "list") return list(a, out, err, progress);
    if (a.command == "verify") return verify(a, out, err, progress);
    return a.fields.empty() ? exportTables(a, out, err, progress) : exportFields(a, out, err, progress);
}

} // namespace cv
