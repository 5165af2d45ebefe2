#pragma once
// The tables cvarchive writes from archive records: what each port delivered as text, one row
// per line, and what is not text as hex.
#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_walker.h"
#include "base/line_ends.h"

namespace cv {

// Which sections an export writes.
struct ExportSelection {
    int port = 0;         // 1..8: that port only
    bool analog = false;  // the analog section only
    bool all() const { return port == 0 && !analog; }
    bool wants(int section) const { return all() || (section == 9 ? analog : section == port); }
};

enum class TableFormat { Csv, Tsv };

// One table row: the cells in column order.
using TableRow = std::array<std::string, 8>;
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
        LineEnds ends;
        bool open = false;
    };
    void flushLine(int section, Pending& p);

    ExportSelection m_selection;
    RowSink m_sink;
    std::vector<Pending> m_pending;  // per logger ID and port, made on first use
};

// The cell and row encodings: RFC 4180 CSV (CRLF rows, quoted when needed) and TSV (LF rows,
// tab, line end and backslash escaped).
std::string tableRow(std::span<const std::string> row, TableFormat format);

} // namespace cv
