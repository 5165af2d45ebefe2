#include "archive/archive_field_table.h"

#include <charconv>

namespace cv {

// One logger's line of the port, and the record it has reached.
struct FieldTable::Logger {
    fields::LineSplitter lines;
    std::string timeStamp, seconds, id;
};

FieldTable::FieldTable(std::vector<fields::FieldColumn> columns, RowSink sink)
    : m_columns(std::move(columns)), m_sink(std::move(sink)), m_loggers(256) {}

FieldTable::~FieldTable() = default;

FieldTable::Row FieldTable::header() const {
    Row row = {"time_stamp", "seconds", "logger_id"};
    for (const auto& column : m_columns) row.push_back(column.text());
    return row;
}

std::string numberCell(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string();
}

void FieldTable::line(Logger& logger, std::string_view text, bool cut) {
    const fields::ParsedLine parsed = fields::parseLine(text, cut);
    if (parsed.checksum == fields::Checksum::Bad) ++m_badChecksums;
    bool read = false;
    for (const auto& column : m_columns) read = read || column.reads(parsed);
    if (!read) return;
    Row row = {logger.timeStamp, logger.seconds, logger.id};
    for (const auto& column : m_columns) {
        const std::optional<double> value = column.valueIn(parsed);
        row.push_back(value ? numberCell(*value) : std::string());
    }
    m_sink(row);
}

void FieldTable::add(const ArchiveRecordInfo& r) {
    // Which bytes belong to which port is unknown in such a record; the walk has named it.
    if (!r.sectionsAddUp || m_columns.empty()) return;
    const int port = m_columns.front().port;
    size_t at = 0;
    for (int s = 1; s < port; ++s) at += r.sections[size_t(s - 1)];
    const size_t n = r.sections[size_t(port - 1)];
    if (n == 0) return;
    auto& logger = m_loggers[r.loggerId];
    if (!logger) {
        logger = std::make_unique<Logger>();
        logger->id = std::to_string(r.loggerId);
    }
    logger->timeStamp = std::to_string(r.timeStamp);
    logger->seconds = secondsText(r);
    logger->lines.feed(r.data + at, n, [&](std::string_view text, bool cut) { line(*logger, text, cut); });
}

void FieldTable::finish() {
    for (auto& logger : m_loggers)
        if (logger) logger->lines.finish([&](std::string_view text, bool cut) { line(*logger, text, cut); });
}

uint64_t FieldTable::cutLines() const {
    uint64_t n = 0;
    for (const auto& logger : m_loggers)
        if (logger) n += logger->lines.cutLines();
    return n;
}

} // namespace cv
