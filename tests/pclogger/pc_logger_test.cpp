#include <gtest/gtest.h>

#include "pclogger/annotation_queue.h"
#include "base/bytes.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "pclogger/pc_logger.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv::pclogger {
namespace {

TEST(PcLoggerRate, StepsLandOnTheRatesTheRecordsCanKeep) {
    struct Step {
        int from, to, rate;
    };
    for (const Step s : {Step{6, 7, 8}, Step{8, 7, 6}, Step{16, 17, 20}, Step{20, 19, 16}, Step{12, 13, 16},
                         Step{-1, 7, 8}, Step{12, 7, 6}, Step{2, 1, 1}, Step{19, 20, 20}})
        EXPECT_EQ(rateForPosition(s.to, s.from), s.rate) << s.from << " -> " << s.to;
    EXPECT_EQ(rateText(8), "Deck Rate:  8 Hz");
    EXPECT_EQ(intervalText(intervalOfRate(6)), "Deck Interval:  166 ms");
    EXPECT_EQ(intervalOfRate(12), 83);
}

// A PC with instruments on COM 1..8 (slot k on COM k) and the records handed on.
struct PcLoggerRig : ::testing::Test {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    PortSlotTable ports{serial, dialogs};
    PcLogger logger{clock, ports};
    AnnotationQueue annotations;
    std::vector<std::vector<uint8_t>> records;

    void open(int line, int function, int id = 2, int port = 1) {
        ports.openPortSlot(line, line, 6);
        Table t = logger.active();
        t[size_t(line - 1)] = Line{function, id, port};
        logger.setActive(t);
    }
    // One interval later, one tick.
    bool tickAfter(uint32_t ms, bool pcTime) {
        clock.ms += ms;
        return logger.tick(pcTime, &annotations,
                           [this](uint8_t* r, size_t n) { records.emplace_back(r, r + n); });
    }
    static std::string section(const std::vector<uint8_t>& r, int s) {
        size_t at = mux::kHeaderLength;
        for (int k = 0; k < s - 1; ++k) at += getU16be(&r[10 + 2 * size_t(k)]);
        return std::string(r.begin() + long(at), r.begin() + long(at + getU16be(&r[10 + 2 * size_t(s - 1)])));
    }
};

struct PcTimeRecord : PcLoggerRig, ::testing::WithParamInterface<uint32_t> {};

// The monotonic clock may start anywhere, wrap included: the record's time still counts from
// the first reading.
TEST_P(PcTimeRecord, OnlyTheTimeStampIsTwentyThreeBytesOfSectionNine) {
    clock.ms = GetParam();
    PcLogger fresh(clock, ports);
    clock.seconds = 1139909405;  // 02/14/06 09:30:05 UTC
    clock.hundredthsValue = 12;
    clock.ms += 1000;
    ASSERT_TRUE(fresh.tick(true, nullptr, [this](uint8_t* r, size_t n) { records.emplace_back(r, r + n); }));
    ASSERT_EQ(records.size(), 1u);
    const std::vector<uint8_t>& r = records[0];
    ASSERT_EQ(r.size(), 23u + 32u);
    EXPECT_EQ((std::vector<uint8_t>(r.begin(), r.begin() + 4)), (std::vector<uint8_t>{1, 1, 1, 0}));
    EXPECT_EQ(getU16be(&r[4]), 23);
    EXPECT_EQ(getU32be(&r[6]), 0u);  // the collection started at the first reading
    for (int k = 0; k < 8; ++k) EXPECT_EQ(getU16be(&r[10 + 2 * size_t(k)]), 0);
    EXPECT_EQ(getU16be(&r[26]), 23);
    EXPECT_EQ(section(r, 9), "02/14/06\t09:30:05.120\r\n");
    EXPECT_EQ(std::string(r.end() - 4, r.end()), "####");
    // The next one starts a collection later and takes the next number.
    clock.ms += 1000;
    fresh.tick(true, nullptr, [this](uint8_t* r2, size_t n) { records.emplace_back(r2, r2 + n); });
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1][3], 1);
    EXPECT_EQ(getU32be(&records[1][6]), 100u);
}
INSTANTIATE_TEST_SUITE_P(ClockStarts, PcTimeRecord, ::testing::Values(0u, 0xFFFFFE0Cu),
                         [](const auto& i) { return "ClockAt" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

TEST_F(PcLoggerRig, NothingCollectedHandsNothingOnAndKeepsTheSequenceNumber) {
    EXPECT_FALSE(tickAfter(999, true));  // not yet an interval
    EXPECT_FALSE(tickAfter(1, false));
    EXPECT_FALSE(tickAfter(1000, false));
    EXPECT_TRUE(tickAfter(1000, true));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][3], 0);
}

// Ticks land late and unevenly; the records keep to the rate shown, and a stalled PC sends one
// record for the stall rather than a burst.
TEST_F(PcLoggerRig, RecordsKeepToTheRateWhateverTheTickSpacing) {
    logger.setInterval(50);
    for (int t = 0; t < 1000; ++t) tickAfter(7, true);
    EXPECT_EQ(records.size(), 140u);
    records.clear();
    tickAfter(500, true);
    for (int t = 0; t < 7; ++t) tickAfter(7, true);
    EXPECT_EQ(records.size(), 1u);
    for (int t = 0; t < 2; ++t) tickAfter(7, true);
    EXPECT_EQ(records.size(), 2u);
}

TEST_F(PcLoggerRig, ARemarkTakesThePlaceOfTheTimeStampOnce) {
    annotations.queue("02/14/06\t09:30:05.120", "Start Sample 5");
    tickAfter(1000, true);
    tickAfter(1000, true);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(section(records[0], 9), "02/14/06\t09:30:05.120 Start Sample 5\r\n");
    EXPECT_EQ(section(records[1], 9).size(), 23u);
    EXPECT_FALSE(annotations.pending());
}

TEST_F(PcLoggerRig, MeterInputsFillTheirSectionsAndNeverPassThePayloadArea) {
    open(2, kMeterInput);
    open(5, kMeterInput);
    serial.line(2)->feed(test::textBytes("$GPGGA,1*00\r\n"));
    serial.line(5)->feed(std::vector<uint8_t>(5000, 'x'));
    annotations.queue("stamp", std::string(5000, 'r'));  // cut to what the remark buffer holds
    tickAfter(1000, true);
    ASSERT_EQ(records.size(), 1u);
    const std::vector<uint8_t> r = records[0];
    EXPECT_EQ(section(r, 2), "$GPGGA,1*00\r\n");
    EXPECT_EQ(section(r, 9).size(), AnnotationQueue::kBufferSize - 1 + 2);
    // Full, and no fuller than the host's own replay can read back.
    EXPECT_EQ(getU16be(&r[4]), kMaxMuxPayload);
    EXPECT_EQ(r.size(), kMaxMuxPayload + 32);
    EXPECT_EQ(section(r, 5), std::string(kMaxMuxPayload - 13 - (AnnotationQueue::kBufferSize + 1), 'x'));
    EXPECT_EQ(std::string(r.end() - 4, r.end()), "####");
    // What did not fit waits for the next record.
    tickAfter(1000, false);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(section(records[1], 5).size(), 5000 - section(r, 5).size());
    EXPECT_EQ(logger.takeReceived()[4], 5000u);
}

struct ShareCase {
    std::array<size_t, kLines> waiting;
    size_t room;
    std::array<size_t, kLines> shares;
};

TEST(PcLoggerShares, EachLineGetsUpToAnEqualShareAndWhatOneLeavesGoesToTheOthers) {
    for (const ShareCase& c : {
             ShareCase{{100, 0, 5000}, 4000, {100, 0, 3900}},
             ShareCase{{3000, 3000, 3000}, 4000, {1334, 1333, 1333}},
             ShareCase{{10, 5000, 5000, 10}, 100, {10, 40, 40, 10}},
             ShareCase{{1, 1, 1}, 2, {1, 1, 0}},
             ShareCase{{20, 30}, 4096, {20, 30}},
         })
        EXPECT_EQ(fairShares(c.waiting, c.room), c.shares) << c.room;
}

// One instrument floods, another sends a line an interval and a logger-output line's device
// talks back: the small line's bytes all reach the records, every flood byte is either
// recorded or counted as dropped on its own line, and the talk-back is read and thrown away.
TEST_F(PcLoggerRig, AFloodingMeterInputDropsItsExcessAndCrowdsOutNoOther) {
    open(1, kMeterInput);
    open(2, kMeterInput);
    open(3, kLoggerOutput);
    std::string small;
    size_t flooded = 0;
    std::array<unsigned, kLines> dropped{};
    auto interval = [&] {
        tickAfter(1000, false);
        const auto d = logger.takeDropped();
        for (size_t k = 0; k < d.size(); ++k) dropped[k] += d[k];
    };
    for (int n = 0; n < 10; ++n) {
        const std::string line = "$SMALL," + std::to_string(n) + "\r\n";
        serial.line(2)->feed(test::textBytes(line));
        small += line;
        serial.line(1)->feed(std::vector<uint8_t>(10000, 'f'));
        flooded += 10000;
        serial.line(3)->feed(test::textBytes("echo"));
        interval();
    }
    for (int n = 0; n < 3; ++n) interval();  // the flood's backlog runs out
    std::string recorded;
    size_t floodRecorded = 0;
    for (const auto& r : records) {
        recorded += section(r, 2);
        floodRecorded += section(r, 1).size();
        EXPECT_LE(r.size(), kMaxMuxPayload + 32);
    }
    EXPECT_EQ(recorded, small);
    EXPECT_EQ(dropped[1], 0u);
    EXPECT_GT(dropped[0], 0u);
    EXPECT_EQ(floodRecorded + dropped[0], flooded);
    EXPECT_TRUE(serial.line(1)->input.empty() && serial.line(3)->input.empty()) << "no line's input piles up";
    EXPECT_EQ(logger.discardedInput(3), 40u);
    EXPECT_EQ(trafficText(1, kMeterInput, 4000, dropped[0]), "Port 1:  In  4000  dropped " + std::to_string(dropped[0]) + " bytes");
}

struct Forwarding {
    int unit, id, port;
    std::string expected;
};
struct ForwardingRig : PcLoggerRig, ::testing::WithParamInterface<Forwarding> {};

TEST_P(ForwardingRig, ALoggerOutputLineSendsOneSectionOfItsLoggersRecords) {
    const Forwarding f = GetParam();
    open(3, kLoggerOutput, f.id, f.port);
    // An accepted record, header in host order: sections 1 "a", 3 "ccc", 9 "analog".
    std::vector<uint8_t> r(28, 0);
    r[2] = uint8_t(f.unit);
    const std::pair<int, std::string> sections[] = {{1, "a"}, {3, "ccc"}, {9, "analog"}};
    for (const auto& [s, text] : sections) {
        putU16le(&r[10 + 2 * size_t(s - 1)], uint16_t(text.size()));
        r.insert(r.end(), text.begin(), text.end());
    }
    putU16le(&r[4], uint16_t(r.size() - 28));
    r.insert(r.end(), {'#', '#', '#', '#'});
    logger.takeRecord(mux::RecordView(r.data(), r.size()));
    const std::vector<uint8_t> written = serial.line(3)->written();
    EXPECT_EQ(std::string(written.begin(), written.end()), f.expected);
    EXPECT_EQ(logger.takeSent()[2], f.expected.size());
}
INSTANTIATE_TEST_SUITE_P(Sections, ForwardingRig,
                         ::testing::Values(Forwarding{1, 1, 3, "ccc"}, Forwarding{2, 2, 9, "analog"},
                                           Forwarding{2, 2, 1, "a"}, Forwarding{2, 2, 2, ""},
                                           Forwarding{3, 2, 3, ""}, Forwarding{0, 0, 3, ""}),
                         [](const auto& i) { return "Unit" + std::to_string(i.param.unit) + "Id" + std::to_string(i.param.id) + "Port" + std::to_string(i.param.port); });

} // namespace
} // namespace cv::pclogger
