#pragma once
// The table of chosen numeric fields that cvarchive writes from archive records: one row per
// line of the port, with the time stamp, the arrival time and the logger ID of the record the
// line ended in, then one number per field column (an empty cell for a gap).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_walker.h"
#include "protocol/field_reader.h"

namespace cv {

class FieldTable {
public:
    // One column's cell: the number, and the field's text as the instrument wrote it.
    struct Cell {
        std::optional<double> value;  // empty: a gap
        std::string_view text;        // valid while the row is handed on
    };
    struct Row {
        std::string timeStamp, seconds;
        std::optional<int64_t> utcMs;
        int loggerId = 0;
        std::vector<Cell> cells;  // one per column
    };
    using RowSink = std::function<void(const Row& row)>;

    // Every column names the same port.
    FieldTable(std::vector<fields::FieldColumn> columns, RowSink sink);
    ~FieldTable();

    // "time_stamp", "seconds", "utc", "logger_id", then each column as written ("2:GPGGA:2").
    std::vector<std::string> header() const;
    // A row as table cells: a number keeps the text it had in the line ("090101000000" stays).
    static std::vector<std::string> textRow(const Row& row);
    void add(const ArchiveRecordInfo& record);
    // Ends every line still open, as at the end of the last file.
    void finish();

    uint64_t badChecksums() const { return m_badChecksums; }
    uint64_t cutLines() const;
    // The sentence columns whose sentence was in none of the lines read.
    std::vector<fields::FieldColumn> sentencesNotFound() const;

private:
    struct Logger;
    void line(Logger& logger, std::string_view text, bool cut);

    std::vector<fields::FieldColumn> m_columns;
    std::vector<bool> m_found;  // per column
    RowSink m_sink;
    std::vector<std::unique_ptr<Logger>> m_loggers;  // per logger ID, made on first use
    uint64_t m_badChecksums = 0;
    Row m_row;  // reused, so a row costs no allocation
};

} // namespace cv
