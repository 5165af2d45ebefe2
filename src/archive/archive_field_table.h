#pragma once
// The table of chosen numeric fields that cvarchive writes from archive records: one row per
// line of the port, with the time stamp and logger ID of the record the line ended in, then one
// number per field column (an empty cell for a gap).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_walker.h"
#include "protocol/field_reader.h"

namespace cv {

class FieldTable {
public:
    using Row = std::vector<std::string>;
    using RowSink = std::function<void(const Row& row)>;

    // Every column names the same port.
    FieldTable(std::vector<fields::FieldColumn> columns, RowSink sink);
    ~FieldTable();

    // "time_stamp", "seconds", "logger_id", then each column as written ("2:GPGGA:2").
    Row header() const;
    void add(const ArchiveRecordInfo& record);
    // Ends every line still open, as at the end of the last file.
    void finish();

    uint64_t badChecksums() const { return m_badChecksums; }
    uint64_t cutLines() const;

private:
    struct Logger;
    void line(Logger& logger, std::string_view text, bool cut);

    std::vector<fields::FieldColumn> m_columns;
    RowSink m_sink;
    std::vector<std::unique_ptr<Logger>> m_loggers;  // per logger ID, made on first use
    uint64_t m_badChecksums = 0;
};

// A number as the shortest text that reads back as the same double ("12.362", "0", "1e+20").
std::string numberCell(double value);

} // namespace cv
