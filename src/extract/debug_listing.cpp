#include "extract/debug_listing.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <string_view>

#include "extract/run_record.h"
#include "base/text_format.h"

namespace cv {

namespace {

constexpr char kLineEnd[] = "\r\n";

// Writes a line into place with no format call and no heap string, as a line per byte of junk
// needs: the numbers come out as "%d" and "%04x" print them. The caller hands it room for the
// longest header line, so the pieces need no check of their own.
struct LineWriter {
    char* at;

    LineWriter& text(std::string_view s) {
        std::memcpy(at, s.data(), s.size());
        at += s.size();
        return *this;
    }
    template <size_t N>
    LineWriter& text(const char (&literal)[N]) {
        std::memcpy(at, literal, N - 1);
        at += N - 1;
        return *this;
    }
    LineWriter& number(int value) {
        char digits[16];
        char* first = std::end(digits);
        unsigned magnitude = value < 0 ? 0u - unsigned(value) : unsigned(value);
        do {
            *--first = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) *--first = '-';
        return text(std::string_view(first, size_t(std::end(digits) - first)));
    }
    LineWriter& hex4(unsigned value) {
        static constexpr char kDigits[] = "0123456789abcdef";
        char digits[8];
        for (int d = 0; d < 8; ++d) digits[d] = kDigits[(value >> (28 - 4 * d)) & 0xF];
        const int shown = std::max(4, 8 - std::countl_zero(value) / 4);
        return text(std::string_view(digits + 8 - shown, size_t(shown)));
    }
};

// The name of each record type in the listing and the number shown right after it (none: -1);
// no name for a type that means nothing.
struct HeaderName {
    std::string_view name;
    int number = -1;
};

constexpr HeaderName kHeaderNames[] = {
    {},
    {"METER", 1},        {"METER", 2},       {"METER", 3},       {"METER", 4},
    {"ARCHIVEMUX ", 1},  {"ARCHIVEMUX ", 2}, {"ARCHIVEMUX ", 3}, {"ARCHIVEMUX ", 4},
    {"BATTERY"},         {"TIME STAMP"},     {"Summary"},        {"ANALOG "},
    {"ANALOG"},          {"ARCHIVETime"},
    {"METER", 5},        {"METER", 6},       {"METER", 7},       {"METER", 8},
    {"ARCHIVEMUX ", 5},  {"ARCHIVEMUX ", 6}, {"ARCHIVEMUX ", 7}, {"ARCHIVEMUX ", 8},
    {"ARCHIVE KRMUX"},   {"Sender Unit ID"}, {"ARCHIVE HEADER"},
};
static_assert(std::size(kHeaderNames) == size_t(kArchiveHeader) + 1);

// The longest header line: an unknown type with the widest numbers, and its line end.
constexpr size_t kLongestLine = std::string_view("Unknown Type -2147483648 Size -2147483648 0xffffffff\r\n").size();

LineWriter& writeHeader(LineWriter& line, int type, int size) {
    const HeaderName name = type >= 0 && size_t(type) < std::size(kHeaderNames) ? kHeaderNames[type] : HeaderName{};
    if (name.name.empty())
        return line.text("Unknown Type ").number(type).text(" Size ").number(size).text(" 0x").hex4(unsigned(size));
    line.text(name.name);
    if (name.number >= 0) line.number(name.number);
    return line.text(" Size ").number(size);
}

} // namespace

bool DebugListing::start(OutputStore& outputs) {
    m_lineOpen = false;
    m_previousTime = 0;
    m_fill = 0;
    m_file = outputs.create(kFileName);
    return m_file != nullptr;
}

void DebugListing::append(std::string_view text) {
    if (text.size() > m_pending.size() - m_fill) flush();
    if (text.size() > m_pending.size()) {
        m_file->write(text);
        return;
    }
    std::memcpy(m_pending.data() + m_fill, text.data(), text.size());
    m_fill += text.size();
}

void DebugListing::flush() {
    m_file->write(std::string_view(m_pending.data(), m_fill));
    m_fill = 0;
}

void DebugListing::endLine() {
    append(kLineEnd);
    m_lineOpen = false;
}

void DebugListing::listHeader(int type, int size) {
    if (!m_file) return;
    // A KRMUX header that was rejected, or whose record had no time, never got its time: end
    // its line so the next header starts a line of its own.
    if (m_lineOpen) endLine();
    static_assert(kLongestLine <= kLongestHeaderLine);
    if (m_pending.size() - m_fill < kLongestHeaderLine) flush();
    char* const start = m_pending.data() + m_fill;
    LineWriter line{start};
    writeHeader(line, type, size);
    m_lineOpen = type == kArchiveKrMux;
    if (!m_lineOpen) line.text(kLineEnd);
    m_fill += size_t(line.at - start);
}

void DebugListing::listTime(int32_t time) {
    if (!m_file) return;
    if (time > 0) {
        int64_t t = time;
        append(format("\tTime = %lld %lld", static_cast<long long>(t * 10),
                      static_cast<long long>((t - m_previousTime) * 10)));
        m_previousTime = t;
    }
    endLine();
}

void DebugListing::finish() {
    if (!m_file) return;
    if (m_lineOpen) endLine();
    flush();
    m_file->close();
    m_file.reset();
}

} // namespace cv
