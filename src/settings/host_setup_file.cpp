#include "settings/host_setup_file.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>

#include "base/durable_file.h"
#include "base/text_format.h"
#include "ports/operator_dialogs.h"

namespace cv::hostsetup {

const std::array<int, kLineCount + 1> kCounts{0, 3, 1, 3, 0, 12, 11, 13, 4, 4, 8, 9, 15, 4, 2, 8, 8, 8, 8, 8, 9, 8, 1};

namespace {

constexpr double kProgramVersion = 7.06;
const char* const kE1Title = "Invalid Record in *.CVH File - The CVH File was NOT Loaded E1";
const char* const kE2Title = "Bad Line Number in *.CVH File - The CVH File was Not Loaded E2";
const char* const kE4Title = "Invalid Record in *.CVH File - The CVH File was NOT Loaded E4";

std::vector<std::string> tokens(const std::string& line) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = line.find(' ', at);
        const size_t stop = end == std::string::npos ? line.size() : end;
        if (stop > at) out.push_back(line.substr(at, stop - at));
        at = stop + 1;
    }
    return out;
}

// A decimal integer with an optional sign and nothing else; far too large values saturate
// (they are refused or stored cut to 16 bits anyway).
std::optional<int64_t> integer(const std::string& token) {
    size_t at = 0;
    bool negative = false;
    if (at < token.size() && (token[at] == '-' || token[at] == '+')) negative = token[at++] == '-';
    if (at == token.size()) return std::nullopt;
    int64_t value = 0;
    constexpr int64_t kCap = std::numeric_limits<int64_t>::max() / 16;
    for (; at < token.size(); ++at) {
        if (token[at] < '0' || token[at] > '9') return std::nullopt;
        if (value < kCap) value = value * 10 + (token[at] - '0');
    }
    return negative ? -value : value;
}

int16_t as16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu)); }

// One pass over the file: checks every line and, when `apply`, hands each one to the parts
// right after it was read.
bool pass(std::istream& in, const std::vector<HostSetupPart*>& parts, bool apply, bool atStartup,
          WarningBox& warnings) {
    std::string header;
    readLine(in, header);  // any content is accepted, even none
    HostSetupLoad load;
    load.atStartup = atStartup;
    load.currentVersion = isCurrentVersion(header);
    for (int number = 1; number <= kLineCount; ++number) {
        const int count = number == hostline::kLoggerPort && !load.currentVersion ? kOlderLineOneCount : kCounts[size_t(number)];
        std::string line;
        if (!readLine(in, line)) {
            warnings.show(kE1Title, format("Looking for Line %d, Found End of File", number));
            return false;
        }
        Values values{};
        if (!checkLine(line, number, count, values, warnings)) return false;
        if (!apply) continue;
        const std::vector<int> applied(values.begin(), values.end());
        for (HostSetupPart* part : parts) part->applyHostSetupLine(number, applied, load);
    }
    return true;
}

bool loadStream(std::istream& in, const std::vector<HostSetupPart*>& parts, bool atStartup, WarningBox& warnings) {
    if (!pass(in, parts, false, atStartup, warnings)) return false;
    in.clear();
    in.seekg(0);
    return pass(in, parts, true, atStartup, warnings);
}

} // namespace

std::string headerLine() { return format("CV Host Version=%4.2f", kProgramVersion); }

bool isCurrentVersion(const std::string& header) {
    const std::string wanted = headerLine();
    return header.compare(0, wanted.size(), wanted) == 0;
}

std::string lineText(int number, const std::vector<int>& values) {
    std::string text = format("%d %zu", number, values.size());
    for (int v : values) text += format(" %d", v);
    // What the writer has always put after the values of these lines; readers skip it.
    if (number == hostline::kEmptyText || number == hostline::kExtraction) text += " ";
    if (number == hostline::kPlotFile) text += " Last.plt";
    return text;
}

bool readLine(std::istream& in, std::string& line) {
    line.clear();
    bool any = false;
    char c = 0;
    while (line.size() < kMaxLineLength && in.get(c)) {
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    // A line cut at the length limit: its own line end still belongs to it.
    if (line.size() == kMaxLineLength) {
        if (in.peek() == '\r') in.get(c);
        if (in.peek() == '\n') in.get(c);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return any;
}

bool checkLine(const std::string& line, int expectedNumber, int expectedCount, Values& values, WarningBox& warnings) {
    values.fill(0);
    const std::vector<std::string> t = tokens(line);
    const std::optional<int64_t> number = t.empty() ? std::nullopt : integer(t[0]);
    if (!number) {
        warnings.show(kE1Title, line);
        return false;
    }
    if (*number != expectedNumber) {
        const int found = int(std::max<int64_t>(std::min<int64_t>(*number, std::numeric_limits<int>::max()),
                                                std::numeric_limits<int>::min()));
        warnings.show(kE2Title, format("Looking for Line %d, Found Line %d", expectedNumber, found));
        return false;
    }
    const std::optional<int64_t> count = t.size() > 1 ? integer(t[1]) : std::nullopt;
    if (!count || *count < 0 || *count > kMaxCount || *count != expectedCount) {
        const int shown = count ? int(std::max<int64_t>(std::min<int64_t>(*count, 99999), -99999)) : 0;
        warnings.show(format("Invalid Record in *.CVH, j %d count %d lcount %d", count ? 1 : 0, expectedCount, shown),
                      line);
        return false;
    }
    for (int i = 0; i < expectedCount; ++i) {
        const size_t at = size_t(i) + 2;
        const std::optional<int64_t> v = at < t.size() ? integer(t[at]) : std::nullopt;
        if (!v) {
            warnings.show(kE4Title, line);
            return false;
        }
        values[size_t(i)] = as16(*v);
    }
    return true;
}

bool load(const std::filesystem::path& file, const std::vector<HostSetupPart*>& parts, bool atStartup,
          WarningBox& warnings) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return true;
    return loadStream(in, parts, atStartup, warnings);
}

bool loadText(const std::string& text, const std::vector<HostSetupPart*>& parts, bool atStartup,
              WarningBox& warnings) {
    std::istringstream in(text);
    return loadStream(in, parts, atStartup, warnings);
}

int windowExtent(int stored, int current, int room) { return std::min(stored > 0 ? stored : current, room); }

std::string fileText(const std::vector<HostSetupPart*>& parts) {
    std::string text = headerLine() + "\r\n";
    for (int number = 1; number <= kLineCount; ++number) {
        std::vector<int> values(size_t(kCounts[size_t(number)]), 0);
        for (const HostSetupPart* part : parts) part->writeHostSetupLine(number, values);
        values.resize(size_t(kCounts[size_t(number)]));  // a part may not change the count
        text += lineText(number, values) + "\r\n";
    }
    return text;
}

bool save(const std::filesystem::path& file, const std::vector<HostSetupPart*>& parts) {
    const std::string text = fileText(parts);
    return replaceFile(file, text.data(), text.size()) == ReplaceOutcome::Ok;
}

} // namespace cv::hostsetup
