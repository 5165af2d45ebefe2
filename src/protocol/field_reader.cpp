#include "protocol/field_reader.h"

#include <charconv>
#include <cmath>

namespace cv::fields {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void addField(ParsedLine& line, std::string_view text) {
    text = trimmed(text);
    line.fields.push_back({text, parseNumber(text)});
}

void splitAt(ParsedLine& line, std::string_view text, std::string_view separators) {
    for (;;) {
        const size_t at = text.find_first_of(separators);
        addField(line, text.substr(0, at));
        if (at == std::string_view::npos) return;
        text.remove_prefix(at + 1);
    }
}

void splitAtBlanks(ParsedLine& line, std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) ++i;
        const size_t from = i;
        while (i < text.size() && !isBlank(text[i])) ++i;
        if (i > from) addField(line, text.substr(from, i - from));
    }
}

// "$NAME" or "!NAME" (the encapsulated sentences ship systems send, AIS among them) followed by
// ',', '*' or the end; the name's length, or 0 where the line is no sentence.
size_t sentenceName(std::string_view line) {
    if (line.size() < 2 || (line[0] != '$' && line[0] != '!')) return 0;
    size_t n = 1;
    while (n < line.size() && isAlnum(line[n])) ++n;
    if (n == 1 || (n < line.size() && line[n] != ',' && line[n] != '*')) return 0;
    return n - 1;
}
} // namespace

std::optional<double> parseNumber(std::string_view text) {
    text = trimmed(text);
    // from_chars takes no plus sign; a sign after it ("+-1") stays a fault.
    if (text.size() > 1 && text[0] == '+' && (isDigit(text[1]) || text[1] == '.')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

ParsedLine parseLine(std::string_view text, bool cut) {
    ParsedLine line;
    line.valid = !cut;
    text = trimmed(text);
    if (const size_t name = sentenceName(text)) {
        line.sentence = text.substr(1, name);
        std::string_view body = text.substr(1 + name);
        const size_t star = body.rfind('*');
        if (star != std::string_view::npos) {
            const std::string_view sum = trimmed(body.substr(star + 1));
            body = body.substr(0, star);
            uint8_t x = 0;
            for (char c : text.substr(1, name + star)) x ^= uint8_t(c);
            const bool good = sum.size() == 2 && hexDigit(sum[0]) >= 0 && hexDigit(sum[1]) >= 0 &&
                              hexDigit(sum[0]) * 16 + hexDigit(sum[1]) == x;
            line.checksum = good ? Checksum::Good : Checksum::Bad;
            if (!good) line.valid = false;
        }
        if (!body.empty()) splitAt(line, body.substr(1), ",");  // body starts with the comma after the name
        return line;
    }
    if (text.find_first_of(",;") != std::string_view::npos)
        splitAt(line, text, ",;");
    else
        splitAtBlanks(line, text);
    return line;
}

std::optional<double> ParsedLine::value(int number) const {
    if (!valid || number < 1 || size_t(number) > fields.size()) return std::nullopt;
    return fields[size_t(number - 1)].value;
}

std::optional<double> FieldColumn::valueIn(const ParsedLine& line) const {
    return reads(line) ? line.value(field) : std::nullopt;
}

std::string FieldColumn::text() const {
    return std::to_string(port) + ":" + (sentence.empty() ? "" : sentence + ":") + std::to_string(field);
}

std::optional<FieldColumn> parseFieldColumn(std::string_view text, std::string& fault) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = text.find(':');
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    if (parts.size() < 2 || parts.size() > 3) {
        fault = "PORT:FIELD or PORT:SENTENCE:FIELD";
        return std::nullopt;
    }
    auto whole = [](std::string_view s, int low, int high) -> int {
        int v = 0;
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
        return s.empty() || error != std::errc() || end != s.data() + s.size() || v < low || v > high ? 0 : v;
    };
    FieldColumn column;
    column.port = whole(parts.front(), 1, kTextPorts);
    if (!column.port) {
        fault = "a port from 1 to " + std::to_string(kTextPorts) + " before the first ':'";
        return std::nullopt;
    }
    column.field = whole(parts.back(), 1, int(LineSplitter::kMaxLine));
    if (!column.field) {
        fault = "a field number from 1 after the last ':'";
        return std::nullopt;
    }
    if (parts.size() == 3) {
        const std::string probe = "$" + std::string(parts[1]);
        if (sentenceName(probe) != parts[1].size()) {
            fault = "a sentence name of letters and digits (GPGGA) between the ':'";
            return std::nullopt;
        }
        column.sentence = std::string(parts[1]);
    }
    return column;
}

} // namespace cv::fields
