// The simulator's live stream as the host's receiver would frame it: every unit's packets, their
// sequence numbers, and each fault laid in on purpose.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <optional>

#include "live_stream.h"
#include "protocol/field_reader.h"
#include "support/logger_line.h"

namespace cv::test {
namespace {

constexpr int64_t kClock = 1700000000;  // 2023-11-14 22:13:20 on the logger clock
constexpr int kScans = 3;

struct Streamed {
    std::vector<sim::SentMuxPacket> sent;
    std::vector<LoggerPacket> framed;
};

// Runs the stream for a number of intervals and frames all of it with the test's own framer.
Streamed stream(std::vector<uint8_t> units, int intervals, const sim::StreamFaults& faults = {}) {
    sim::LiveStream live;
    live.begin(std::move(units), 7);
    Streamed out;
    Framer framer;
    for (int i = 0; i < intervals; ++i) {
        for (auto& p : live.interval(sim::defaultSetup(), uint32_t(i) * 10, kClock + i, kScans, faults)) {
            framer.buffer.insert(framer.buffer.end(), p.packet.begin(), p.packet.end());
            out.sent.push_back(std::move(p));
        }
    }
    while (auto packet = framer.frameOne()) out.framed.push_back(std::move(*packet));
    EXPECT_EQ(framer.dropped, 0u) << "every byte belongs to a packet";
    EXPECT_TRUE(framer.buffer.empty());
    return out;
}

std::string section(const LoggerPacket& p, int k) {
    size_t at = 30;
    for (int j = 1; j < k; ++j) at += be16(p.bytes, 12 + 2 * size_t(j - 1));
    return std::string(p.bytes.begin() + long(at), p.bytes.begin() + long(at + be16(p.bytes, 12 + 2 * size_t(k - 1))));
}

// A port's one line without its CR LF, read as the host reads it (its views point into `section`).
fields::ParsedLine lineOf(const std::string& section) {
    EXPECT_TRUE(section.ends_with("\r\n")) << section;
    return fields::parseLine(std::string_view(section).substr(0, section.size() - 2));
}

TEST(LiveStream, EveryUnitSendsWellFormedMuxPacketsWithItsInstrumentsData) {
    const Streamed s = stream({0, 1, 2, 3, 4}, 4);
    ASSERT_EQ(s.framed.size(), 20u);
    for (size_t i = 0; i < s.framed.size(); ++i) {
        const LoggerPacket& p = s.framed[i];
        EXPECT_EQ(p.type, 8);
        EXPECT_EQ(p.bytes, s.sent[i].packet);
        const uint8_t unit = p.bytes[4];
        EXPECT_EQ(unit, uint8_t(i % 5)) << "units take turns in each interval";
        EXPECT_EQ(uint32_t(be16(p.bytes, 8)) << 16 | be16(p.bytes, 10), uint32_t(i / 5) * 10) << "time stamp, big-endian";
        size_t sum = 0;
        for (int k = 0; k < 9; ++k) sum += be16(p.bytes, 12 + 2 * size_t(k));
        EXPECT_EQ(sum, be16(p.bytes, 6));
        EXPECT_EQ(std::string(p.bytes.end() - 6, p.bytes.end() - 2), "####");
        if (unit == 0) {
            EXPECT_EQ(lineOf(section(p, 1)).checksum, fields::Checksum::Good) << section(p, 1);
            EXPECT_EQ(section(p, 1).substr(0, 16), "$GPZDA,2213" + std::to_string(20 + i / 5) + ".00") << "the logger clock";
        } else {
            for (int port : {1, 2, 3}) EXPECT_EQ(section(p, port).substr(section(p, port).size() - 2), "\r\n");
            EXPECT_EQ(lineOf(section(p, 3)).sentence, "GPGGA") << "the GPS on port 3";
            EXPECT_EQ(section(p, 4), "") << "port 4 drives a pump";
            EXPECT_EQ(section(p, 9).size(), size_t(2 * 2 * kScans)) << "two channels in use, 16 bits a reading";
        }
    }
}

// What a plot and a field reader get from a logger's instruments: a CTD line on port 1 whose
// values drift without jumping and stay those of sea water, and GGA sentences on port 3 of a
// slowly moving position, about one in fifty with a checksum the host must refuse. The same
// seed gives the same bytes.
TEST(LiveStream, InstrumentLinesDriftSlowlyAndNowAndThenASentenceFailsItsChecksum) {
    constexpr int kIntervals = 2000;
    const Streamed s = stream({2}, kIntervals);
    ASSERT_EQ(s.framed.size(), size_t(kIntervals));
    struct Range {
        double low, high, step;  // plausible bounds, the largest change from one line to the next
    };
    const Range ctd[4] = {{10, 15, 0.08}, {3.8, 4.4, 0.01}, {95, 105, 0.2}, {34.9, 35.2, 0.005}};
    const Range position[2] = {{4806.9, 4807.1, 0.002}, {1130.9, 1131.1, 0.002}};  // fields 2 and 4
    std::vector<double> last(4), lastPosition(2), firstPosition(2);
    int good = 0, bad = 0;
    for (size_t i = 0; i < s.framed.size(); ++i) {
        const std::string ctdText = section(s.framed[i], 1), ggaText = section(s.framed[i], 3);
        const fields::ParsedLine ctdLine = lineOf(ctdText);
        ASSERT_EQ(ctdLine.fields.size(), 4u) << ctdText;
        for (size_t k = 0; k < 4; ++k) {
            const std::optional<double> v = ctdLine.value(int(k + 1));
            ASSERT_TRUE(v) << ctdText;
            EXPECT_GE(*v, ctd[k].low) << ctdText;
            EXPECT_LE(*v, ctd[k].high) << ctdText;
            if (i > 0) {
                EXPECT_LE(std::abs(*v - last[k]), ctd[k].step) << "field " << k + 1 << " of line " << i;
            }
            last[k] = *v;
        }
        const fields::ParsedLine gga = lineOf(ggaText);
        ASSERT_EQ(gga.sentence, "GPGGA");
        ASSERT_NE(gga.checksum, fields::Checksum::None);
        if (gga.checksum == fields::Checksum::Bad) {
            ++bad;
            EXPECT_FALSE(gga.value(2)) << "a garbled sentence reads as gaps";
            continue;
        }
        ++good;
        for (size_t k = 0; k < 2; ++k) {
            const std::optional<double> v = gga.value(int(2 * k + 2));
            ASSERT_TRUE(v) << ggaText;
            EXPECT_GE(*v, position[k].low);
            EXPECT_LE(*v, position[k].high);
            if (good > 1) {
                EXPECT_LE(std::abs(*v - lastPosition[k]), position[k].step) << "line " << i;
            }
            if (good == 1) firstPosition[k] = *v;
            lastPosition[k] = *v;
        }
    }
    EXPECT_GE(bad, kIntervals / 200) << "about one in fifty";
    EXPECT_LE(bad, kIntervals / 20) << "about one in fifty";
    EXPECT_NE(lastPosition, firstPosition) << "the position moves";
    const Streamed again = stream({2}, 50);
    for (size_t i = 0; i < again.sent.size(); ++i) ASSERT_EQ(again.sent[i].packet, s.sent[i].packet) << "same seed";
}

TEST(LiveStream, SequenceNumbersCountPerUnitAndWrapAt256) {
    const Streamed s = stream({0, 2}, 300);
    std::map<uint8_t, std::vector<uint8_t>> sequences;
    for (const auto& p : s.framed) sequences[p.bytes[4]].push_back(p.bytes[5]);
    ASSERT_EQ(sequences.size(), 2u);
    for (const auto& [unit, seq] : sequences) {
        ASSERT_EQ(seq.size(), 300u);
        for (size_t i = 0; i < seq.size(); ++i) ASSERT_EQ(seq[i], uint8_t(i)) << "unit " << int(unit) << " record " << i;
    }
}

TEST(LiveStream, ANewSessionCarriesOnWithTheSequence) {
    sim::LiveStream live;
    live.begin({2}, 1);
    for (int i = 0; i < 5; ++i) live.interval(sim::defaultSetup(), 0, kClock, 1, {});
    live.begin({2}, 2);
    EXPECT_EQ(live.interval(sim::defaultSetup(), 0, kClock, 1, {}).at(0).sequence, 5);
}

struct FaultCase {
    const char* name;
    sim::StreamFaults faults;
    // Checks the framed packets of logger 2 (and any stray unit) over 12 intervals.
    std::function<void(const std::vector<LoggerPacket>&, const std::vector<sim::SentMuxPacket>&)> check;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class LiveStreamFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LiveStreamFault, StrikesWhereItIsAskedTo) {
    const Streamed s = stream({2}, 12, GetParam().faults);
    ASSERT_EQ(s.framed.size(), s.sent.size());
    for (size_t i = 0; i < s.framed.size(); ++i) {
        EXPECT_EQ(s.framed[i].bytes, s.sent[i].packet);
        EXPECT_EQ(s.framed[i].bytes[4], s.sent[i].unit);
        EXPECT_EQ(s.framed[i].bytes[5], s.sent[i].sequence);
    }
    GetParam().check(s.framed, s.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LiveStreamFault,
    ::testing::Values(
        FaultCase{"GapEveryFourthSkipsThree", {.gapEvery = 4, .gapLength = 3},
                  [](const auto& framed, const auto&) {
                      ASSERT_EQ(framed.size(), 12u);
                      std::vector<int> seq;
                      for (const auto& p : framed) seq.push_back(p.bytes[5]);
                      EXPECT_EQ(seq, (std::vector<int>{0, 1, 2, 6, 7, 8, 9, 13, 14, 15, 16, 20}));
                  }},
        FaultCase{"DuplicateEveryThirdGoesOutTwice", {.duplicateEvery = 3},
                  [](const auto& framed, const auto& sent) {
                      ASSERT_EQ(framed.size(), 16u);
                      std::vector<int> seq;
                      for (const auto& p : framed) seq.push_back(p.bytes[5]);
                      EXPECT_EQ(seq, (std::vector<int>{0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 11}));
                      EXPECT_EQ(framed[3].bytes, framed[2].bytes);
                      EXPECT_TRUE(sent[3].duplicate);
                      EXPECT_FALSE(sent[2].duplicate);
                  }},
        FaultCase{"EmptyEveryFifthHasNoPayloadButItsSequenceNumber", {.emptyEvery = 5},
                  [](const auto& framed, const auto&) {
                      ASSERT_EQ(framed.size(), 12u);
                      for (size_t i = 0; i < framed.size(); ++i) {
                          EXPECT_EQ(framed[i].bytes[5], i);
                          EXPECT_EQ(framed[i].bytes.size() == 36, i == 4 || i == 9) << i;
                      }
                  }},
        FaultCase{"StrayUnitSixEveryFourthInterval", {.strayUnit = 6, .strayEvery = 4},
                  [](const auto& framed, const auto&) {
                      ASSERT_EQ(framed.size(), 15u);
                      std::vector<int> strays;
                      for (const auto& p : framed)
                          if (p.bytes[4] == 6) strays.push_back(p.bytes[5]);
                      EXPECT_EQ(strays, (std::vector<int>{0, 1, 2}));
                      EXPECT_EQ(framed[4].bytes[4], 6) << "after the fourth interval's own record";
                      EXPECT_GT(be16(framed[4].bytes, 6), 0) << "with data, so the host must warn";
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv::test
