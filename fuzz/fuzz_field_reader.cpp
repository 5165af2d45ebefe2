// libFuzzer target: any bytes as a port's text, fed in pieces whose sizes the first byte
// chooses. The lines must not depend on how the bytes were cut into feeds, stay within the
// limit, carry no line end, and read only finite numbers; a wrong checksum reads as gaps only.
// Each line is also read as a field column, which must write back as it reads.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/field_reader.h"

namespace {

constexpr size_t kLimit = 64;  // small, so the fuzzer reaches cut lines quickly

struct Line {
    std::string text;
    bool cut;
    bool operator==(const Line&) const = default;
};

std::vector<Line> linesOf(const uint8_t* data, size_t size, size_t piece, uint64_t& cut) {
    cv::fields::LineSplitter splitter(kLimit);
    std::vector<Line> lines;
    auto take = [&](std::string_view text, bool c) { lines.push_back({std::string(text), c}); };
    for (size_t at = 0; at < size; at += piece) splitter.feed(data + at, std::min(piece, size - at), take);
    splitter.finish(take);
    cut = splitter.cutLines();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t piece = size_t(data[0] % 7) + 1;
    ++data;
    --size;
    uint64_t cutWhole = 0, cutPieces = 0;
    const std::vector<Line> whole = linesOf(data, size, size ? size : 1, cutWhole);
    if (linesOf(data, size, piece, cutPieces) != whole || cutPieces != cutWhole) __builtin_trap();

    for (const Line& line : whole) {
        if (line.text.empty() || line.text.size() > kLimit) __builtin_trap();
        if (line.text.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        const cv::fields::ParsedLine parsed = cv::fields::parseLine(line.text, line.cut);
        if (parsed.valid != (!line.cut && parsed.checksum != cv::fields::Checksum::Bad)) __builtin_trap();
        for (int n = 0; n <= int(parsed.fields.size()) + 1; ++n) {
            const auto value = parsed.value(n);
            if (value && (!parsed.valid || !std::isfinite(*value))) __builtin_trap();
        }
        std::string fault;
        if (const auto column = cv::fields::parseFieldColumn(line.text, fault)) {
            std::string again;
            if (cv::fields::parseFieldColumn(column->text(), again) != column) __builtin_trap();
        } else if (fault.empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
