#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "protocol/mux_record.h"
#include "stream/plot_model.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv::plot {
namespace {

// A record in host order whose section `port` carries `text`.
std::vector<uint8_t> record(int unit, int port, const std::string& text) {
    std::vector<uint8_t> r(mux::kOverhead + text.size(), 0);
    mux::Header h;
    h.unit = uint8_t(unit);
    h.dataLength = uint16_t(text.size());
    h.sections[size_t(port - 1)] = uint16_t(text.size());
    mux::writeHeader(r.data(), h, mux::ByteOrder::Host);
    std::copy(text.begin(), text.end(), r.begin() + mux::kHeaderLength);
    std::copy_n("####", 4, r.end() - 4);
    return r;
}

struct PlotModelTest : ::testing::Test {
    test::FakeClock clock;
    PlotModel model{clock};

    void feed(int unit, int port, const std::string& text, Origin origin = Origin::Live) {
        const std::vector<uint8_t> r = record(unit, port, text);
        model.takeRecordFrom(origin, mux::RecordView(r.data(), r.size()));
    }
    void at(uint32_t ms, const std::string& text, int unit = 2, int port = 3, Origin origin = Origin::Live) {
        clock.ms = ms;
        feed(unit, port, text, origin);
    }
    void choose(int trace, const std::string& column, int logger = 2, bool on = true) {
        std::string fault;
        TraceChoice c;
        c.on = on;
        c.logger = logger;
        c.column = *fields::parseFieldColumn(column, fault);
        model.setTrace(trace, c);
    }
    std::vector<bool> gaps(int trace) const {
        std::vector<bool> g;
        for (const Point& p : model.points(trace)) g.push_back(p.isGap());
        return g;
    }
};

TEST_F(PlotModelTest, ListsEachFieldSeenWithItsLastValueAndKeepsPortsApart) {
    at(0, "12.8714, 5.1\r\n");
    at(50, "12.9,x\r\n$GPGGA,7,8*");
    at(60, "59\r\n", 2, 3);
    at(70, "99\r\n", 3, 3);
    const std::vector<SeenField>& seen = model.fieldsSeen(2, 3);
    ASSERT_EQ(seen.size(), 4u);
    std::vector<std::string> shown;
    for (const SeenField& s : seen) shown.push_back(s.column.text() + "=" + s.lastText);
    EXPECT_EQ(shown, (std::vector<std::string>{"3:1=12.9", "3:2=x", "3:GPGGA:1=7", "3:GPGGA:2=8"}));
    EXPECT_EQ(seen[2].lastMs, 60);
    ASSERT_EQ(model.fieldsSeen(3, 3).size(), 1u);
    EXPECT_EQ(model.fieldsSeen(3, 3)[0].lastText, "99");
    EXPECT_TRUE(model.fieldsSeen(2, 4).empty());
}

TEST_F(PlotModelTest, TraceReadsOnlyItsLoggerPortAndSentence) {
    choose(0, "3:GPGGA:2");
    at(0, "$GPGGA,1,2.5\r\n$GPXYZ,1,9\r\n");
    at(10, "$GPGGA,1,2.5\r\n", 3);      // another logger
    at(20, "$GPGGA,1,2.5\r\n", 2, 4);   // another port
    ASSERT_EQ(model.points(0).size(), 1u);
    EXPECT_EQ(model.points(0)[0].value, 2.5);
    EXPECT_EQ(model.lastValue(0), 2.5);
}

// A field that is missing, not a number or in a sentence with a wrong checksum breaks the line,
// and so does a silence of more than a few seconds; the last value says "gap" meanwhile.
TEST_F(PlotModelTest, InvalidAbsentOrSilentFieldBreaksTheLine) {
    choose(0, "3:2");
    at(0, "1,2\r\n");
    at(50, "1,3\r\n");
    at(100, "1\r\n");  // absent
    EXPECT_FALSE(model.lastValue(0));
    at(150, "1,4\r\n");
    at(200, "1,--\r\n");  // not a number
    at(250, "1,5\r\n");
    at(10000, "1,6\r\n");  // after a silence
    EXPECT_EQ(gaps(0), (std::vector<bool>{false, false, true, false, true, false, true, false}));

    choose(1, "3:GPGGA:1");
    at(10050, "$GPGGA,1*4C\r\n");  // the sum of "GPGGA,1" is 0x4B
    EXPECT_FALSE(model.lastValue(1));
    at(10100, "$GPGGA,2*48\r\n");
    EXPECT_EQ(model.lastValue(1), 2.0);
    EXPECT_EQ(model.points(1).size(), 1u);  // a leading gap is not kept
}

// A slow instrument's steady lines join up; only a silence of several of its intervals breaks them.
class PlotModelSlowField : public PlotModelTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(PlotModelSlowField, SteadyLinesDrawAsALineAndASilenceBreaksIt) {
    const uint32_t every = GetParam();
    model.setWindowMinutes(60);
    choose(0, "3:1");
    for (uint32_t n = 0; n < 6; ++n) at(n * every, std::to_string(n) + "\r\n");
    EXPECT_EQ(gaps(0), std::vector<bool>(6, false));
    at(10 * every, "10\r\n");
    EXPECT_EQ(gaps(0), (std::vector<bool>{false, false, false, false, false, false, true, false}));
}

INSTANTIATE_TEST_SUITE_P(Intervals, PlotModelSlowField, ::testing::Values(5000u, 60000u),
                         [](const auto& info) { return "Every" + std::to_string(info.param / 1000) + "s"; });

// An hour at 20 Hz: the points stay at their cap whatever the window, the window's span is kept,
// and a one-sample spike still shows.
class PlotModelCap : public PlotModelTest, public ::testing::WithParamInterface<int> {};

TEST_P(PlotModelCap, HourAtTwentyHertzStaysWithinTheCapAndKeepsSpikes) {
    model.setWindowMinutes(GetParam());
    choose(0, "3:1");
    size_t most = 0;
    for (uint32_t ms = 0; ms < 3600000; ms += 50) {
        const bool spike = ms == 3600000 - 20000;
        at(ms, spike ? "1000\r\n" : std::to_string(ms % 7) + "\r\n");
        most = std::max(most, model.points(0).size());
    }
    EXPECT_LE(most, kMaxPoints);
    const std::deque<Point>& p = model.points(0);
    EXPECT_GE(p.back().ms - p.front().ms, model.windowMs() - model.windowMs() / 100);
    EXPECT_LE(p.back().ms - p.front().ms, model.windowMs());
    EXPECT_EQ(std::max_element(p.begin(), p.end(), [](auto& a, auto& b) { return a.value < b.value; })->value, 1000);
    EXPECT_EQ(std::min_element(p.begin(), p.end(), [](auto& a, auto& b) { return a.value < b.value; })->value, 0);
}
INSTANTIATE_TEST_SUITE_P(Windows, PlotModelCap, ::testing::Values(1, 10, 60),
                         [](const auto& i) { return "Minutes" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

TEST_F(PlotModelTest, WindowChangeThinsWhatIsHeldAgain) {
    choose(0, "3:1");
    for (uint32_t ms = 0; ms < 600000; ms += 50) at(ms, std::to_string(ms % 11) + "\r\n");
    model.setWindowMinutes(1);
    const std::deque<Point>& p = model.points(0);
    EXPECT_GE(p.front().ms, 600000 - 60000 - 50);
    model.setWindowMinutes(60);
    EXPECT_LE(model.points(0).size(), 1000u);  // now coarser than before
    EXPECT_EQ(model.points(0).back().ms, 599950);
    model.setWindowMinutes(7);  // not offered: kept as it was
    EXPECT_EQ(model.windowMinutes(), 60);
}

// Whatever the operator does with the window or the trace, the plot keeps the hour it took: ten
// minutes of data at 1 Hz still span ten minutes afterwards.
struct KeepCase {
    const char* name;
    std::function<void(PlotModelTest&)> act;
};
void PrintTo(const KeepCase& c, std::ostream* os) { *os << c.name; }
class PlotKeepsItsHistory : public PlotModelTest, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(PlotKeepsItsHistory, TenMinutesStayTenMinutes) {
    choose(0, "3:1");
    for (uint32_t ms = 0; ms < 600000; ms += 1000) at(ms, std::to_string(ms % 13) + "\r\n");
    GetParam().act(*this);
    ASSERT_FALSE(model.points(0).empty());
    EXPECT_EQ(model.points(0).front().ms, 0);
    EXPECT_EQ(model.points(0).back().ms, 599000);
    EXPECT_EQ(model.lastValue(0), double(599000 % 13));
}
using Act = std::function<void(PlotModelTest&)>;
INSTANTIATE_TEST_SUITE_P(
    Changes, PlotKeepsItsHistory,
    ::testing::Values(KeepCase{"WindowOneMinuteAndBack", Act([](auto& t) { t.model.setWindowMinutes(1), t.model.setWindowMinutes(10); })},
                      KeepCase{"TraceOffAndOn", Act([](auto& t) { t.choose(0, "3:1", 2, false), t.choose(0, "3:1"); })},
                      KeepCase{"AnotherFieldAndBack", Act([](auto& t) { t.choose(0, "3:2"), t.choose(0, "3:1"); })}),
    [](const auto& info) { return std::string(info.param.name); });

// A trace left off still takes its field's data; fields no trace is set to give way, the least
// recently shown first, so memory stays bounded however many the operator tries.
TEST_F(PlotModelTest, FieldsLeftBehindAreKeptWithinTheBound) {
    choose(0, "3:1", 2, false);
    for (int f = 2; f < 2 + int(kMaxKept); ++f) choose(1, "3:" + std::to_string(f));
    at(0, "1,2,3,4,5,6,7,8,9,10,11\r\n");
    EXPECT_EQ(model.points(0).size(), 1u) << "unticked, yet taken";
    choose(1, "3:2");
    EXPECT_TRUE(model.points(1).empty()) << "the oldest field no trace showed gave way";
    choose(1, "3:" + std::to_string(1 + kMaxKept));
    EXPECT_EQ(model.points(1).size(), 1u);
}

// A replay through the live road is marked as such and never joined to live data.
TEST_F(PlotModelTest, ReplayIsABandOfItsOwnAndBreaksTheLine) {
    choose(0, "3:1");
    at(0, "1\r\n");
    at(1000, "2\r\n");
    at(2000, "20\r\n", 2, 3, Origin::Replay);
    at(3000, "21\r\n", 2, 3, Origin::Replay);
    at(4000, "7\r\n", 1, 3);  // the PC logger goes on meanwhile
    at(5000, "22\r\n", 2, 3, Origin::Replay);
    at(6000, "3\r\n");
    ASSERT_EQ(model.replayBands().size(), 1u);
    EXPECT_EQ(model.replayBands()[0].fromMs, 2000);
    EXPECT_EQ(model.replayBands()[0].toMs, 5000);
    EXPECT_EQ(gaps(0), (std::vector<bool>{false, false, true, false, false, false, true, false}));
    EXPECT_EQ(model.answeringLogger(), 2) << "neither the replay nor the PC logger is the logger answering";
}

TEST_F(PlotModelTest, ClockWrapKeepsTimeGoingForward) {
    choose(0, "3:1");
    at(0xFFFFFF00u, "1\r\n");
    at(0x00000010u, "2\r\n");
    ASSERT_EQ(model.points(0).size(), 2u);
    EXPECT_EQ(model.points(0)[1].ms - model.points(0)[0].ms, 0x110);
}

} // namespace
} // namespace cv::plot
