#include "archive/netcdf_table.h"

#include <netcdf.h>

#include <algorithm>
#include <set>

namespace cv {

namespace {
// Rows held before a block is written; also each variable's chunk along the rows.
constexpr size_t kBlock = 4096;
constexpr const char* kLoggerDim = "logger";

bool isNameChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
} // namespace

NetcdfTable::NetcdfTable() : m_indexOfLogger(256, -1) {}

NetcdfTable::~NetcdfTable() {
    if (m_file >= 0) nc_close(m_file);
}

std::string NetcdfTable::variableName(const fields::FieldColumn& column) {
    std::string name = (column.sentence.empty() ? std::string("field") : column.sentence) + "_" + std::to_string(column.field);
    if (!(name[0] >= 'A' && name[0] <= 'Z') && !(name[0] >= 'a' && name[0] <= 'z')) name = "s" + name;
    std::replace_if(name.begin(), name.end(), [](char c) { return !isNameChar(c); }, '_');
    return name;
}

bool NetcdfTable::check(int status, const char* what) {
    if (status == NC_NOERR) return true;
    if (m_fault.empty()) m_fault = std::string(what) + ": " + nc_strerror(status);
    return false;
}

bool NetcdfTable::create(const std::string& path, const std::vector<fields::FieldColumn>& columns,
                         const Description& about, std::string& fault) {
    m_about = about;
    auto text = [this](int var, const char* name, const std::string& value) {
        return check(nc_put_att_text(m_file, var, name, value.size(), value.c_str()), name);
    };
    int obs = -1, loggers = -1;
    bool ok = check(nc_create(path.c_str(), NC_CLOBBER | NC_NETCDF4, &m_file), "create");
    if (!ok) m_file = -1;
    // The number of rows and of loggers is known only at the end.
    ok = ok && check(nc_def_dim(m_file, "obs", NC_UNLIMITED, &obs), "obs") &&
         check(nc_def_dim(m_file, kLoggerDim, NC_UNLIMITED, &loggers), kLoggerDim);
    const size_t chunk = kBlock;
    auto rowVariable = [&](const std::string& name, nc_type type, int& var) {
        return check(nc_def_var(m_file, name.c_str(), type, 1, &obs, &var), "variable") &&
               check(nc_def_var_chunking(m_file, var, NC_CHUNKED, &chunk), "chunking") &&
               check(nc_def_var_deflate(m_file, var, 1, 1, 1), "compression");
    };
    ok = ok && check(nc_def_var(m_file, "logger_id", NC_INT, 1, &loggers, &m_loggerIdVar), "logger_id") &&
         text(m_loggerIdVar, "long_name", "logger ID") && text(m_loggerIdVar, "cf_role", "timeseries_id");
    ok = ok && rowVariable("time", NC_DOUBLE, m_timeVar) && text(m_timeVar, "standard_name", "time") &&
         text(m_timeVar, "long_name", "time the host took the record from the line") &&
         text(m_timeVar, "units", "seconds since 1970-01-01 00:00:00Z") && text(m_timeVar, "calendar", "standard") &&
         text(m_timeVar, "axis", "T");
    ok = ok && rowVariable("logger_index", NC_INT, m_loggerIndexVar) &&
         text(m_loggerIndexVar, "long_name", "which logger ID the row is of") &&
         text(m_loggerIndexVar, "instance_dimension", kLoggerDim);
    std::set<std::string> names = {"time", "logger_id", "logger_index"};
    for (const auto& column : columns) {
        std::string name = variableName(column);
        for (int k = 2; names.count(name); ++k) name = variableName(column) + "_" + std::to_string(k);
        names.insert(name);
        int var = -1;
        const double fill = NC_FILL_DOUBLE;
        ok = ok && rowVariable(name, NC_DOUBLE, var) && text(var, "long_name", column.text()) &&
             check(nc_put_att_double(m_file, var, "_FillValue", NC_DOUBLE, 1, &fill), "_FillValue") &&
             text(var, "coordinates", "time");
        m_columnVars.push_back(var);
    }
    ok = ok && text(NC_GLOBAL, "Conventions", "CF-1.8") && text(NC_GLOBAL, "featureType", "timeSeries") &&
         text(NC_GLOBAL, "title", about.title) && text(NC_GLOBAL, "source", about.source) &&
         text(NC_GLOBAL, "history", about.history) && text(NC_GLOBAL, "date_created", about.dateCreated) &&
         check(nc_put_att_int(m_file, NC_GLOBAL, "port", NC_INT, 1, &about.port), "port") &&
         check(nc_enddef(m_file), "define");
    m_values.assign(columns.size(), {});
    if (!ok) fault = m_fault;
    return ok;
}

void NetcdfTable::add(const FieldTable::Row& row) {
    if (!row.utcMs) {
        ++m_withoutTime;
        return;
    }
    int& index = m_indexOfLogger[size_t(row.loggerId) & 255];
    if (index < 0) {
        index = int(m_loggerOfIndex.size());
        m_loggerOfIndex.push_back(row.loggerId);
    }
    m_times.push_back(double(*row.utcMs) / 1000.0);
    m_loggerIndexes.push_back(index);
    for (size_t k = 0; k < m_values.size(); ++k) m_values[k].push_back(row.cells[k].value.value_or(NC_FILL_DOUBLE));
    if (m_times.size() == kBlock) flush();
}

void NetcdfTable::flush() {
    if (m_times.empty() || m_file < 0) return;
    const size_t start = m_written, count = m_times.size();
    check(nc_put_vara_double(m_file, m_timeVar, &start, &count, m_times.data()), "time");
    check(nc_put_vara_int(m_file, m_loggerIndexVar, &start, &count, m_loggerIndexes.data()), "logger_index");
    for (size_t k = 0; k < m_values.size(); ++k) {
        check(nc_put_vara_double(m_file, m_columnVars[k], &start, &count, m_values[k].data()), "values");
        m_values[k].clear();
    }
    m_written += count;
    m_times.clear();
    m_loggerIndexes.clear();
}

bool NetcdfTable::close(std::string& fault) {
    if (m_file < 0) {
        fault = m_fault.empty() ? "not created" : m_fault;
        return false;
    }
    flush();
    const size_t start = 0, count = m_loggerOfIndex.size();
    if (count) check(nc_put_vara_int(m_file, m_loggerIdVar, &start, &count, m_loggerOfIndex.data()), "logger_id");
    // The loggers in the file, as its description says them.
    std::vector<int> ids = m_loggerOfIndex;
    std::sort(ids.begin(), ids.end());
    check(nc_redef(m_file), "define");
    check(nc_put_att_int(m_file, NC_GLOBAL, "logger_id", NC_INT, ids.size(), ids.data()), "logger_id");
    check(nc_enddef(m_file), "define");
    check(nc_close(m_file), "close");
    m_file = -1;
    fault = m_fault;
    return m_fault.empty();
}

} // namespace cv
