#include "archive/archive_tables.h"

#include <algorithm>
#include <cstdint>

#include "archive/time_index.h"
#include "protocol/mux_record.h"

namespace cv {

namespace {
constexpr int kSections = mux::kSections;

// Control bytes other than tab and line ends say the section is not instrument text.
bool isText(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if ((p[i] < 0x20 && p[i] != '\t' && !LineEnds::isLineEnd(p[i])) || p[i] == 0x7F) return false;
    return true;
}

bool validUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = uint8_t(s[i]);
        size_t more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
        if (more == 9 || (more && c < 0xC2) || i + more >= s.size()) return false;
        for (size_t k = 1; k <= more; ++k)
            if ((uint8_t(s[i + k]) >> 6) != 2) return false;
        i += more + 1;
    }
    return true;
}

// Instruments that send 8-bit text send Latin-1; the tables are always UTF-8.
std::string asUtf8(const std::string& s) {
    if (validUtf8(s)) return s;
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    for (char ch : s) {
        const auto c = uint8_t(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string hex(std::span<const uint8_t> p) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out(2 * p.size(), '0');
    for (size_t i = 0; i < p.size(); ++i) {
        out[2 * i] = digits[p[i] >> 4];
        out[2 * i + 1] = digits[p[i] & 15];
    }
    return out;
}

// Where the cells stand in kExportHeader.
constexpr size_t kPort = 5, kText = 6, kHex = 7;

std::string portName(int section) { return section == 9 ? "analog" : std::to_string(section); }
} // namespace

const TableRow kExportHeader = {"time_stamp", "seconds", "utc", "logger_id", "sequence", "port", "text", "hex"};

ArchiveExporter::ArchiveExporter(ExportSelection selection, RowSink sink)
    : m_selection(selection), m_sink(std::move(sink)), m_pending(256 * 8) {}

void ArchiveExporter::flushLine(int section, Pending& p) {
    p.meta[kText] = asUtf8(p.text);
    m_sink(section, p.meta);
    p.text.clear();
    p.open = false;
}

void ArchiveExporter::add(const ArchiveRecordInfo& r) {
    TableRow meta = {std::to_string(r.timeStamp), secondsText(r), r.utcMs ? utcText(*r.utcMs) : std::string(),
                     std::to_string(r.loggerId), std::to_string(r.sequence), "", "", ""};
    if (!r.sectionsAddUp) {
        // Which bytes belong to which port is unknown: the whole data in one hex cell, in a
        // table of every section only.
        if (!m_selection.all()) return;
        TableRow row = meta;
        row[kHex] = hex(r.view.data());
        m_sink(0, row);
        return;
    }
    for (int s = 1; s <= kSections; ++s) {
        const std::span<const uint8_t> bytes = r.view.section(s);
        const size_t n = bytes.size();
        if (n == 0 || !m_selection.wants(s)) continue;
        meta[kPort] = portName(s);
        Pending& p = m_pending[size_t(r.loggerId) * 8 + size_t(s == 9 ? 0 : s - 1)];
        if (s == 9 || !isText(bytes.data(), n)) {
            if (s != 9 && p.open) flushLine(s, p);
            TableRow row = meta;
            row[kHex] = hex(bytes);
            m_sink(s, row);
            continue;
        }
        p.ends.feed(
            bytes.data(), n,
            [&](const uint8_t* run, size_t length) {
                while (length > 0) {
                    if (!p.open) {
                        p.open = true;
                        p.meta = meta;
                    }
                    const size_t take = std::min(length, kMaxLine - p.text.size());
                    p.text.append(reinterpret_cast<const char*>(run), take);
                    run += take;
                    length -= take;
                    if (p.text.size() >= kMaxLine) flushLine(s, p);
                }
            },
            [&] {
                if (p.open) flushLine(s, p);
            });
    }
}

void ArchiveExporter::finish() {
    for (size_t k = 0; k < m_pending.size(); ++k)
        if (m_pending[k].open) flushLine(int(k % 8) + 1, m_pending[k]);
}

std::string tableRow(std::span<const std::string> row, TableFormat format) {
    std::string out;
    for (size_t i = 0; i < row.size(); ++i) {
        const std::string& cell = row[i];
        if (format == TableFormat::Csv) {
            if (i) out += ',';
            if (std::none_of(cell.begin(), cell.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
                out += cell;
                continue;
            }
            out += '"';
            for (char c : cell) {
                if (c == '"') out += '"';
                out += c;
            }
            out += '"';
        } else {
            if (i) out += '\t';
            for (char c : cell) {
                switch (c) {
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\\': out += "\\\\"; break;
                default: out += c;
                }
            }
        }
    }
    out += format == TableFormat::Csv ? "\r\n" : "\n";
    return out;
}

} // namespace cv
