#pragma once
// Archive files for people who do not run this program: a record walker that reads a file in
// constant memory and names the first framing fault, the tables that `cvarchive` writes from
// it, and the command itself, kept in the core so its arguments and exit status are testable
// in-process.
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/command_line.h"

namespace cv {

struct ArchiveRecordInfo {
    uint64_t offset = 0;
    uint8_t first = 0;
    uint8_t second = 0;  // 1: the time stamp counts units of 10 ms
    uint8_t loggerId = 0;
    uint8_t sequence = 0;
    uint32_t timeStamp = 0;
    uint16_t payload = 0;
    std::array<uint16_t, 9> sections{};
    const uint8_t* data = nullptr;  // the payload, valid until the next call of next()
    // False for a record whose section lengths do not add up to its data length (the extraction
    // copies such a record from the logger as it is): it is framed by its data length, and its
    // data cannot be told apart into ports.
    bool sectionsAddUp = true;
    size_t length() const { return size_t(payload) + 32; }
    bool hasSeconds() const { return second == 1; }
};

enum class ArchiveWalk { Record, End, Fault };

// Walks the records of one archive file by their lengths. Holds at most one record.
class ArchiveWalker {
public:
    explicit ArchiveWalker(std::FILE* file, uint64_t fileLength);

    // The next record, the clean end of the file, or the first framing fault (fault() says
    // which; nothing after it is read).
    ArchiveWalk next(ArchiveRecordInfo& record);
    const std::string& fault() const { return m_fault; }
    uint64_t faultOffset() const { return m_faultOffset; }
    uint64_t position() const { return m_position; }

private:
    ArchiveWalk fail(uint64_t offset, std::string text);

    std::FILE* m_file;
    uint64_t m_length;
    uint64_t m_position = 0;
    std::vector<uint8_t> m_record;
    bool m_checkTrailer = false;
    bool m_first = true;
    std::string m_fault;
    uint64_t m_faultOffset = 0;
};

// Which sections an export writes.
struct ExportSelection {
    int port = 0;         // 1..8: that port only
    bool analog = false;  // the analog section only
    bool all() const { return port == 0 && !analog; }
    bool wants(int section) const { return all() || (section == 9 ? analog : section == port); }
};

enum class TableFormat { Csv, Tsv };

// One table row: the cells in column order.
using TableRow = std::array<std::string, 7>;
extern const TableRow kExportHeader;

// Turns a stream of records into rows: port text one row per line (a line split over records
// belongs to the record it began in), other sections as hex, one row per record.
class ArchiveExporter {
public:
    using RowSink = std::function<void(int section, const TableRow& row)>;
    ArchiveExporter(ExportSelection selection, RowSink sink);
    void add(const ArchiveRecordInfo& record);
    // Ends every line still open, as at the end of the last file.
    void finish();

    // A line that never ends is cut into rows of this many bytes, so memory stays bounded.
    static constexpr size_t kMaxLine = 65536;

private:
    struct Pending {
        std::string text;
        TableRow meta;  // the record the line began in
        bool open = false;
        bool afterLineEnd = true;
    };
    void emit(int section, Pending& p);

    ExportSelection m_selection;
    RowSink m_sink;
    std::vector<Pending> m_pending;  // per logger ID and port, made on first use
};

// The cell and row encodings: RFC 4180 CSV (CRLF rows, quoted when needed) and TSV (LF rows,
// tab, line end and backslash escaped).
std::string tableRow(const TableRow& row, TableFormat format);

constexpr int kArchiveExitOk = 0;
constexpr int kArchiveExitFault = 1;  // a file could not be read, or is damaged
constexpr int kArchiveExitUsage = cli::kExitUsage;
constexpr int kArchiveExitWarnings = 3;  // done, but some records' sections do not add up

// Runs cvarchive on the arguments after the program name. progress: stderr is a terminal.
int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress);

} // namespace cv
