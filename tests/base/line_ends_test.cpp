// Every reader of instrument text sees the same lines however the bytes are cut into feeds: a
// serial read or a record section may end anywhere, between a CR and its LF included.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_tables.h"
#include "protocol/field_reader.h"
#include "share/network_feed.h"

namespace cv {
namespace {

using Feeds = std::vector<std::string>;

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// What one reader makes of the feeds, as its consumer sees it.
struct Reader {
    const char* name;
    std::function<std::vector<std::string>(const Feeds&)> read;
};
void PrintTo(const Reader& reader, std::ostream* out) { *out << reader.name; }

std::vector<std::string> plotLines(const Feeds& feeds) {
    fields::LineSplitter splitter(16);
    std::vector<std::string> lines;
    auto take = [&](std::string_view text, bool cut) { lines.push_back(std::string(text) + (cut ? "~" : "")); };
    for (const auto& f : feeds) splitter.feed(bytesOf(f), f.size(), take);
    splitter.finish(take);
    lines.push_back("cut " + std::to_string(splitter.cutLines()));
    return lines;
}

std::vector<std::string> datagrams(const Feeds& feeds) {
    share::DatagramCutter cutter(12);
    std::vector<std::string> out;
    for (const auto& f : feeds) cutter.feed(bytesOf(f), f.size(), "T ", [&](std::string_view d) { out.emplace_back(d); });
    out.push_back("lines " + std::to_string(cutter.lines()));
    return out;
}

std::vector<std::string> prefixedStream(const Feeds& feeds) {
    share::LinePrefixer prefixer;
    std::string stream;
    for (const auto& f : feeds) prefixer.feed(bytesOf(f), f.size(), "T ", [&](std::string_view p) { stream += p; });
    return {stream, "lines " + std::to_string(prefixer.lines())};
}

// The text cells of the export; each feed is one record's port 3 section.
std::vector<std::string> exportedText(const Feeds& feeds) {
    std::vector<std::string> cells;
    ArchiveExporter exporter({}, [&](int, const TableRow& row) { cells.push_back(row[5]); });
    uint8_t sequence = 0;
    for (const auto& f : feeds) {
        ArchiveRecordInfo record;
        record.loggerId = 2;
        record.sequence = sequence++;
        record.payload = uint16_t(f.size());
        record.sections[2] = uint16_t(f.size());
        record.data = bytesOf(f);
        exporter.add(record);
    }
    exporter.finish();
    return cells;
}

class LineEndReader : public ::testing::TestWithParam<Reader> {};

TEST_P(LineEndReader, GivesTheSameResultForAnyFeedSizes) {
    std::mt19937 rng(29);
    const std::string alphabet = "\r\n\r\n\r\r\n\n,;$1.e- A";
    for (int round = 0; round < 100; ++round) {
        std::string bytes;
        while (bytes.size() < 300) {
            if (rng() % 20 == 0) bytes += std::string(10 + rng() % 30, 'x');  // over the readers' limits
            else bytes += alphabet[rng() % alphabet.size()];
        }
        Feeds pieces;
        for (size_t at = 0; at < bytes.size();) {
            const size_t n = std::min<size_t>(1 + rng() % 9, bytes.size() - at);
            pieces.push_back(bytes.substr(at, n));
            at += n;
        }
        ASSERT_EQ(GetParam().read(pieces), GetParam().read({bytes})) << "round " << round << ", bytes: " << bytes;
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, LineEndReader,
                         ::testing::Values(Reader{"PlotAndFieldReader", plotLines}, Reader{"UdpDatagrams", datagrams},
                                           Reader{"TcpTimePrefix", prefixedStream},
                                           Reader{"ArchiveExport", exportedText}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
