#include "archive/time_index.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/text_format.h"

namespace cv {

namespace {
constexpr std::string_view kFirstLine = "KR-8 time index 1";
// 9999-12-31T23:59:59.999Z: the last time ISO 8601's four-digit year can write.
constexpr int64_t kLastMs = 253402300799999;

template <class T>
bool wholeNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && text[0] != '-' && error == std::errc() && end == text.data() + text.size();
}
} // namespace

std::optional<TimeIndex> TimeIndex::parse(std::string_view text, std::string& fault) {
    TimeIndex index;
    size_t lineNumber = 0;
    for (;;) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) break;  // cut, or the end
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (++lineNumber == 1) {
            if (line != kFirstLine) {
                fault = "not a time index (its first line is not \"" + std::string(kFirstLine) + "\")";
                return std::nullopt;
            }
            continue;
        }
        if (line.empty()) continue;
        const size_t blank = line.find(' ');
        Anchor a;
        if (blank == std::string_view::npos || !wholeNumber(line.substr(0, blank), a.offset) ||
            !wholeNumber(line.substr(blank + 1), a.utcMs) || a.utcMs > kLastMs) {
            fault = format("line %zu is not an offset and a time in milliseconds", lineNumber);
            return std::nullopt;
        }
        if (!index.m_anchors.empty() && a.offset < index.m_anchors.back().offset) {
            fault = format("line %zu: the offsets fall", lineNumber);
            return std::nullopt;
        }
        // Two anchors of one record: the first is when it came.
        if (index.m_anchors.empty() || a.offset != index.m_anchors.back().offset) index.m_anchors.push_back(a);
    }
    // A first line not yet whole: an index just begun.
    if (lineNumber == 0 && kFirstLine.substr(0, text.size()) != text) {
        fault = "not a time index (its first line is not \"" + std::string(kFirstLine) + "\")";
        return std::nullopt;
    }
    index.m_records.assign(index.m_anchors.size(), 0);
    return index;
}

std::optional<TimeIndex> TimeIndex::load(const std::string& archivePath, uint64_t archiveLength, std::string& fault) {
    fault.clear();
    const std::string path = pathBeside(archivePath);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!in) {
        if (errno != ENOENT) fault = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) text.append(buffer, n);
    if (std::ferror(in.get())) {
        fault = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::optional<TimeIndex> index = parse(text, fault);
    if (!index) {
        fault = path + ": " + fault;
        return std::nullopt;
    }
    auto& anchors = index->m_anchors;
    while (!anchors.empty() && anchors.back().offset >= archiveLength) anchors.pop_back();
    index->m_records.assign(anchors.size(), 0);
    return index;
}

size_t TimeIndex::intervalOf(uint64_t offset, size_t from) const {
    while (from + 1 < m_anchors.size() && m_anchors[from + 1].offset <= offset) ++from;
    return from;
}

void TimeIndex::countRecord(uint64_t offset) {
    if (m_anchors.empty() || offset < m_anchors.front().offset) return;
    m_countAt = intervalOf(offset, m_countAt);
    ++m_records[m_countAt];
}

std::optional<int64_t> TimeIndex::place(uint64_t offset) {
    if (m_anchors.empty() || offset < m_anchors.front().offset) return std::nullopt;
    const size_t k = intervalOf(offset, m_placeAt);
    if (k != m_placeAt) m_placed = 0;
    m_placeAt = k;
    const uint64_t order = m_placed++;
    if (k + 1 == m_anchors.size() || m_records[k] == 0) return m_anchors[k].utcMs;
    const double span = double(m_anchors[k + 1].utcMs - m_anchors[k].utcMs);
    return m_anchors[k].utcMs + int64_t(std::llround(span * double(order) / double(m_records[k])));
}

std::string utcText(int64_t utcMs) {
    const int64_t seconds = utcMs >= 0 ? utcMs / 1000 : -((-utcMs + 999) / 1000);
    const std::tm t = wallClockFields(seconds);
    return formatTime("%Y-%m-%dT%H:%M:%S", t) + format(".%03dZ", int(utcMs - seconds * 1000));
}

} // namespace cv
