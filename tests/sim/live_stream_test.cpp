// The simulator's live stream as the host's receiver would frame it: every unit's packets, their
// sequence numbers, and each fault laid in on purpose.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

#include "live_stream.h"
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

bool nmeaChecksumHolds(const std::string& line) {
    const size_t star = line.find('*');
    if (line.empty() || line[0] != '$' || star == std::string::npos || line.substr(star + 3) != "\r\n") return false;
    uint8_t sum = 0;
    for (size_t i = 1; i < star; ++i) sum ^= uint8_t(line[i]);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    return line.substr(star + 1, 2) == hex;
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
            EXPECT_TRUE(nmeaChecksumHolds(section(p, 1))) << section(p, 1);
            EXPECT_EQ(section(p, 1).substr(0, 16), "$GPZDA,2213" + std::to_string(20 + i / 5) + ".00") << "the logger clock";
        } else {
            for (int port : {1, 2, 3}) EXPECT_EQ(section(p, port).substr(section(p, port).size() - 2), "\r\n");
            EXPECT_TRUE(nmeaChecksumHolds(section(p, 3))) << "the GPS on port 3: " << section(p, 3);
            EXPECT_EQ(section(p, 4), "") << "port 4 drives a pump";
            EXPECT_EQ(section(p, 9).size(), size_t(2 * 2 * kScans)) << "two channels in use, 16 bits a reading";
        }
    }
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
