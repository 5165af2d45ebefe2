#include "archive/archive_field_table.h"

#include "archive/time_index.h"

namespace cv {

// One logger's line of the port, and the record it has reached.
struct FieldTable::Logger {
    fields::LineSplitter lines;
    std::string timeStamp, seconds;
    std::optional<int64_t> utcMs;
    int id = 0;
};

FieldTable::FieldTable(std::vector<fields::FieldColumn> columns, RowSink sink)
    : m_columns(std::move(columns)), m_found(m_columns.size(), false), m_sink(std::move(sink)), m_loggers(256) {
    m_row.cells.resize(m_columns.size());
}

FieldTable::~FieldTable() = default;

std::vector<std::string> FieldTable::header() const {
    std::vector<std::string> row = {"time_stamp", "seconds", "utc", "logger_id"};
    for (const auto& column : m_columns) row.push_back(column.text());
    return row;
}

std::vector<std::string> FieldTable::textRow(const Row& row) {
    std::vector<std::string> cells = {row.timeStamp, row.seconds, row.utcMs ? utcText(*row.utcMs) : std::string(),
                                      std::to_string(row.loggerId)};
    for (const Cell& cell : row.cells) cells.emplace_back(cell.value ? cell.text : std::string_view());
    return cells;
}

void FieldTable::line(Logger& logger, std::string_view text, bool cut) {
    const fields::ParsedLine parsed = fields::parseLine(text, cut);
    if (parsed.checksum == fields::Checksum::Bad) ++m_badChecksums;
    bool read = false;
    for (size_t k = 0; k < m_columns.size(); ++k) {
        const bool reads = m_columns[k].reads(parsed);
        if (reads && !parsed.sentence.empty()) m_found[k] = true;
        read = read || reads;
    }
    if (!read) return;
    m_row.timeStamp = logger.timeStamp;
    m_row.seconds = logger.seconds;
    m_row.utcMs = logger.utcMs;
    m_row.loggerId = logger.id;
    for (size_t k = 0; k < m_columns.size(); ++k) {
        const fields::FieldColumn& column = m_columns[k];
        const std::optional<double> value = column.valueIn(parsed);
        m_row.cells[k] = {value, value ? parsed.fields[size_t(column.field - 1)].text : std::string_view()};
    }
    m_sink(m_row);
}

void FieldTable::add(const ArchiveRecordInfo& r) {
    // Which bytes belong to which port is unknown in such a record; the walk has named it.
    if (!r.sectionsAddUp || m_columns.empty()) return;
    const std::span<const uint8_t> bytes = r.view.section(m_columns.front().port);
    if (bytes.empty()) return;
    auto& logger = m_loggers[r.loggerId];
    if (!logger) {
        logger = std::make_unique<Logger>();
        logger->id = r.loggerId;
    }
    logger->timeStamp = std::to_string(r.timeStamp);
    logger->seconds = secondsText(r);
    logger->utcMs = r.utcMs;
    logger->lines.feed(bytes.data(), bytes.size(), [&](std::string_view text, bool cut) { line(*logger, text, cut); });
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

std::vector<fields::FieldColumn> FieldTable::sentencesNotFound() const {
    std::vector<fields::FieldColumn> missing;
    for (size_t k = 0; k < m_columns.size(); ++k)
        if (!m_columns[k].sentence.empty() && !m_found[k]) missing.push_back(m_columns[k]);
    return missing;
}

} // namespace cv
