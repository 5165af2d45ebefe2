#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bytes.h"
#include "stream/mux_stream.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv {
namespace {

// A mux record as it arrives on the line: header fields big-endian, sections back to back.
std::vector<uint8_t> muxRecord(int unit, int seq, const std::vector<std::string>& sections = {"data"},
                               uint32_t timeStamp = 0x01020304) {
    std::string payload;
    for (const std::string& s : sections) payload += s;
    std::vector<uint8_t> r(mux::kOverhead + payload.size(), 0);
    r[0] = 1;
    r[2] = uint8_t(unit);
    r[3] = uint8_t(seq);
    putU16be(&r[4], uint16_t(payload.size()));
    putU32be(&r[6], timeStamp);
    for (size_t k = 0; k < sections.size() && k < 9; ++k) putU16be(&r[10 + 2 * k], uint16_t(sections[k].size()));
    std::copy(payload.begin(), payload.end(), r.begin() + mux::kHeaderLength);
    std::copy_n("####", 4, r.end() - 4);
    return r;
}

// Keeps what it is handed, and notes in `order` who was handed a record when.
struct CapturingConsumer : StreamConsumer {
    explicit CapturingConsumer(std::vector<int>* order = nullptr, int id = 0) : order(order), id(id) {}
    std::vector<std::vector<uint8_t>> records;
    std::vector<int>* order;
    int id;
    void takeRecord(const mux::RecordView& record) override {
        records.emplace_back(record.bytes(), record.bytes() + record.length());
        if (order) order->push_back(id);
    }
};

struct StreamRig {
    StreamRig() { stream.addConsumer(&parsed); }
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    MuxStream stream{warnings};
    ParsedDataTap parsed;
    MuxResult feed(std::vector<uint8_t> r, Origin origin = Origin::Live) {
        return stream.acceptMuxRecord(r.data(), r.size(), origin);
    }
    std::string shown() {
        std::string s(reinterpret_cast<const char*>(parsed.buffer().data()), parsed.buffer().size());
        parsed.buffer().clear();
        return s;
    }
    void display(int unit, int portIndex) { parsed.setSelection({true, 0, portIndex, unit}); }
};

std::vector<int> countUp(int from, int to) {
    std::vector<int> v;
    for (int s = from; s <= to; ++s) v.push_back(s);
    return v;
}
std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- sequence numbers ----

constexpr int kEmpty = 1000;
constexpr int kReplayed = 2000;  // kReplayed + n: record n of an archive replay

struct SequenceCase {
    const char* name;
    std::vector<int> sequence;  // of unit 2; kEmpty + n: an empty record numbered n; kReplayed + n: replayed
    std::string line;           // "Unit 2: packets gaps missed" afterwards
    uint32_t total;
    size_t recordsShown;
};

class MuxSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(MuxSequence, CountsGapsAndShowsEveryRecordThatIsNotADuplicate) {
    StreamRig rig;
    rig.display(2, 0);
    size_t shown = 0;
    for (int s : GetParam().sequence) {
        if (s >= kReplayed) rig.feed(muxRecord(2, s - kReplayed, {"x"}), Origin::Replay);
        else rig.feed(s >= kEmpty ? muxRecord(2, s - kEmpty, {}) : muxRecord(2, s, {"x"}));
        shown += rig.shown().size();
    }
    EXPECT_EQ(rig.stream.unitCounterLine(2), GetParam().line);
    EXPECT_EQ(rig.stream.totalSequenceErrors(), GetParam().total);
    EXPECT_EQ(shown, GetParam().recordsShown);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MuxSequence,
    ::testing::Values(SequenceCase{"FirstZeroIsInSequence", {0, 1}, "Unit 2: 2 \t0 \t0", 0, 2},
                      SequenceCase{"FirstFiveIsAGapOfFiveYetShown", {5, 6}, "Unit 2: 2 \t1 \t5", 1, 2},
                      SequenceCase{"WrapFrom255To0", countUp(0, 255) + std::vector<int>{0}, "Unit 2: 257 \t0 \t0", 0, 257},
                      SequenceCase{"From250To2SkipsSeven", countUp(0, 250) + std::vector<int>{2}, "Unit 2: 252 \t1 \t7", 1, 252},
                      SequenceCase{"DuplicateIgnored", {0, 0, 0, 1}, "Unit 2: 2 \t0 \t0", 0, 2},
                      SequenceCase{"EmptyRecordOnlyMovesTheNumber", {0, kEmpty + 1, 2}, "Unit 2: 2 \t0 \t0", 0, 2},
                      SequenceCase{"EmptyDuplicateIgnored", {kEmpty + 0, 0}, "Unit 2: 0 \t0 \t0", 0, 0},
                      SequenceCase{"GapThenDuplicateOfTheGapRecord", {0, 3, 3, 4}, "Unit 2: 3 \t1 \t2", 1, 3},
                      SequenceCase{"GapWithinAReplayStillCounts",
                                   {0, kReplayed + 100, kReplayed + 103},
                                   "Unit 2: 3 \t1 \t2", 1, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MuxStreamCounters, ResetKeepsTheTotalAndTheSequenceTable) {
    StreamRig rig;
    rig.feed(muxRecord(1, 4));
    rig.feed(muxRecord(0, 0));
    rig.stream.resetCounters();
    EXPECT_EQ(rig.stream.unitCounterLine(1), "Unit 1: 0 \t0 \t0");
    EXPECT_EQ(rig.stream.unitCounterLine(0), "Time Unit: 0");
    EXPECT_EQ(rig.stream.totalSequenceErrors(), 1u);
    EXPECT_EQ(rig.feed(muxRecord(1, 4)), MuxResult::Duplicate);
    rig.feed(muxRecord(1, 5));
    EXPECT_EQ(rig.stream.unitCounterLine(1), "Unit 1: 1 \t0 \t0");
}

// ---- sender units ----

struct UnitCase {
    int unit;
    bool withData;
    bool warned;
    bool counted;  // in "Time Unit"/"Unit n"
};

class MuxUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(MuxUnits, OnlyUnitsZeroToFourAreTakenAndOthersWithDataAreNamedInABox) {
    const UnitCase c = GetParam();
    StreamRig rig;
    for (int i = 0; i < 2; ++i) rig.feed(muxRecord(c.unit, 7, c.withData ? std::vector<std::string>{"x"} : std::vector<std::string>{}));
    const std::string text = "\r\nSender Unit " + std::to_string(c.unit) + " " + std::to_string(c.unit);
    // Units 5..8 remember nothing, so the same record is named again; above 8 there is no table entry at all.
    EXPECT_EQ(rig.dialogs.boxes.size(), c.warned ? 2u : 0u);
    if (c.warned) {
        EXPECT_TRUE(rig.dialogs.saw("Mux ID Error", text));
    }
    uint32_t packets = 0;
    for (int u = 0; u < kMuxCountedUnits; ++u) packets += rig.stream.unit(u).packets;
    EXPECT_EQ(packets, c.counted ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, MuxUnits,
                         ::testing::Values(UnitCase{0, true, false, true}, UnitCase{4, true, false, true},
                                           UnitCase{5, true, true, false}, UnitCase{6, true, true, false},
                                           UnitCase{6, false, false, false}, UnitCase{8, true, true, false},
                                           UnitCase{9, true, true, false}, UnitCase{9, false, true, false},
                                           UnitCase{255, true, true, false}),
                         [](const auto& i) { return "Unit" + std::to_string(i.param.unit) + (i.param.withData ? "WithData" : "Empty"); });

// ---- parsed data: one section of one unit ----

struct SectionCase {
    const char* name;
    int unit;
    int portIndex;
    std::string shown;
};

class MuxSections : public ::testing::TestWithParam<SectionCase> {};

TEST_P(MuxSections, TheChosenSectionOfTheChosenUnitIsShown) {
    StreamRig rig;
    rig.display(GetParam().unit, GetParam().portIndex);
    rig.feed(muxRecord(2, 0, {"abcd", "", "SEVEN77", "", "", "", "", "", "an9"}));
    EXPECT_EQ(rig.shown(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, MuxSections,
                         ::testing::Values(SectionCase{"Port1", 2, 0, "abcd"}, SectionCase{"EmptyPort2", 2, 1, ""},
                                           SectionCase{"Port3AfterLengths4And0", 2, 2, "SEVEN77"},
                                           SectionCase{"AllAnalogDataAsHex", 2, 8, "61 6E 39\r\n"},
                                           SectionCase{"OtherUnit", 3, 2, ""}, SectionCase{"NoPortChosen", 2, -1, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MuxSectionsBounds, SectionsClaimingMoreThanThePayloadShowNothing) {
    StreamRig rig;
    rig.display(2, 1);
    std::vector<uint8_t> r = muxRecord(2, 0, {"abcd", "xy"});
    putU16be(&r[12], 400);  // section 2 claims far more than the record holds
    EXPECT_EQ(rig.feed(r), MuxResult::Accepted);
    EXPECT_EQ(rig.shown(), "");
}

TEST(MuxRecordBounds, ARecordShorterThanItsHeaderSaysIsDroppedUncounted) {
    StreamRig rig;
    std::vector<uint8_t> r = muxRecord(2, 0, {"abcd"});
    EXPECT_EQ(rig.feed(std::vector<uint8_t>(r.begin(), r.begin() + 20)), MuxResult::Malformed);
    r.resize(r.size() - 2);
    EXPECT_EQ(rig.feed(r), MuxResult::Malformed);
    EXPECT_EQ(rig.stream.unitCounterLine(2), "Unit 2: 0 \t0 \t0");
}

// ---- consumers ----

TEST(MuxConsumers, EachAcceptedRecordGoesToEveryConsumerInOrderWithItsHeaderLittleEndian) {
    StreamRig rig;
    std::vector<int> order;
    CapturingConsumer first(&order, 1), second(&order, 2);
    rig.stream.addConsumer(&first);
    rig.stream.addConsumer(&second);
    rig.stream.addConsumer(&first);  // once only
    // The first record is a sequence gap and its buffer has bytes beyond the record: it is handed
    // on all the same, cut to its own length.
    std::vector<uint8_t> r = muxRecord(3, 9, {"abc", "", "", "", "", "", "", "", "zz"}, 0xA1B2C3D4);
    r.insert(r.end(), {'x', 'y'});
    EXPECT_EQ(rig.feed(r), MuxResult::Accepted);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    ASSERT_EQ(first.records.size(), 1u);
    const std::vector<uint8_t>& got = first.records[0];
    ASSERT_EQ(got.size(), 37u);
    EXPECT_EQ(getU16le(&got[4]), 5);
    EXPECT_EQ(getU32le(&got[6]), 0xA1B2C3D4u);
    EXPECT_EQ(getU16le(&got[10]), 3);
    EXPECT_EQ(getU16le(&got[26]), 2);
    EXPECT_EQ(std::string(got.begin() + 28, got.end()), "abczz####");

    rig.stream.removeConsumer(&first);
    rig.feed(muxRecord(3, 10));
    EXPECT_EQ(first.records.size(), 1u);
    EXPECT_EQ(second.records.size(), 2u);
}

TEST(MuxConsumers, DuplicatesEmptyRecordsAndForeignUnitsAreNotHandedOn) {
    StreamRig rig;
    CapturingConsumer sink;
    rig.stream.addConsumer(&sink);
    rig.feed(muxRecord(0, 0));
    rig.feed(muxRecord(2, 0));
    rig.feed(muxRecord(2, 0));
    rig.feed(muxRecord(2, 1, {}));
    rig.feed(muxRecord(7, 0));
    rig.feed(muxRecord(2, 2));
    ASSERT_EQ(sink.records.size(), 3u);
    EXPECT_EQ(sink.records[0][2], 0);  // the time unit's records are recorded too
    EXPECT_EQ(sink.records[2][3], 2);
}

// ---- the memo's lines ----

struct LinesCase {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
    std::string pending;
};

class RawLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(RawLines, LineEndsAndLongLinesSplitAsShown) {
    RawDisplayLines memo;
    // Delivered in two pieces to show that a line end split across ticks still closes one line.
    const std::string& in = GetParam().input;
    memo.append(in.substr(0, in.size() / 2));
    memo.append(in.substr(in.size() / 2));
    EXPECT_EQ(std::vector<std::string>(memo.lines().begin(), memo.lines().end()), GetParam().lines);
    EXPECT_EQ(memo.pending(), GetParam().pending);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RawLines,
    ::testing::Values(LinesCase{"CrLfClosesOneLine", "$GPGGA,1\r\n$GPGGA,2\r\n", {"$GPGGA,1", "$GPGGA,2"}, ""},
                      LinesCase{"LfCrAndRunsCloseOne", "a\n\rb\r\n\r\n\nc", {"a", "b"}, "c"},
                      LinesCase{"LeadingLineEndAddsNothing", "\r\nabc", {}, "abc"},
                      LinesCase{"LongLineSplitAfter101", std::string(150, 'x') + "\r\n",
                                {std::string(101, 'x'), std::string(49, 'x')}, ""},
                      LinesCase{"BytesShownAsTheyAre", std::string("\x01\xff\t", 3) + "\n", {std::string("\x01\xff\t", 3)}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RawLinesMemo, KeepsTheLast101LinesAndHandsOutOnlyNewOnes) {
    RawDisplayLines memo;
    memo.append("first\r\n");
    EXPECT_EQ(memo.takeNewLines(), std::vector<std::string>{"first"});
    for (int i = 0; i < 300; ++i) memo.append("line " + std::to_string(i) + "\r\n");
    ASSERT_EQ(memo.lines().size(), 101u);
    EXPECT_EQ(memo.lines().front(), "line 199");
    EXPECT_EQ(memo.lines().back(), "line 299");
    const std::vector<std::string> fresh = memo.takeNewLines();
    ASSERT_EQ(fresh.size(), 101u);
    EXPECT_EQ(fresh.front(), "line 199");
    EXPECT_TRUE(memo.takeNewLines().empty());
}

TEST(SendText, AtMost199CharactersGoOut) {
    EXPECT_EQ(sendableText("PING"), "PING");
    EXPECT_EQ(sendableText(std::string(250, 'q')), std::string(199, 'q'));
}

} // namespace
} // namespace cv
