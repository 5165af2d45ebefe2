#pragma once
// Writes the rows of a field table into one NetCDF-4 file as the CF conventions describe a time
// series: each row is an observation with its arrival time, its logger and one double per
// column; a gap is the fill value. Rows are written in blocks, so memory stays constant.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_field_table.h"
#include "protocol/field_reader.h"

namespace cv {

class NetcdfTable {
public:
    struct Description {
        std::string title;
        std::string source;       // program and version
        std::string history;      // the command line
        std::string dateCreated;  // ISO 8601, UTC
        int port = 0;
    };

    NetcdfTable();
    ~NetcdfTable();
    NetcdfTable(const NetcdfTable&) = delete;
    NetcdfTable& operator=(const NetcdfTable&) = delete;

    // Creates the file (replacing one of that name). False with `fault` set when it cannot.
    bool create(const std::string& path, const std::vector<fields::FieldColumn>& columns, const Description& about,
                std::string& fault);
    // A row without a time cannot be placed on the time axis: it is counted and left out.
    void add(const FieldTable::Row& row);
    // Writes what is held, the loggers seen, and closes the file. False with `fault` set when
    // any part of the file could not be written.
    bool close(std::string& fault);
    uint64_t rowsWithoutTime() const { return m_withoutTime; }

    // The variable name of a column: letters, digits and '_' ("GPGGA_2", "field_3").
    static std::string variableName(const fields::FieldColumn& column);

private:
    bool check(int status, const char* what);
    void flush();

    int m_file = -1;
    int m_timeVar = -1, m_loggerIndexVar = -1, m_loggerIdVar = -1;
    std::vector<int> m_columnVars;
    Description m_about;
    std::vector<double> m_times;
    std::vector<int> m_loggerIndexes;
    std::vector<std::vector<double>> m_values;  // per column
    std::vector<int> m_loggerOfIndex;           // logger ID per instance, in order of first appearance
    std::vector<int> m_indexOfLogger;           // per logger ID; -1 until seen
    size_t m_written = 0;
    uint64_t m_withoutTime = 0;
    std::string m_fault;
};

} // namespace cv
