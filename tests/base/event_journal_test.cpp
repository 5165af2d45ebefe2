// What the journal gets of events that repeat: every kind is told as it happens until its cap,
// and what the cap held back is told once its minute is over, never lost and never a flood.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/event_journal.h"
#include "support/fakes.h"

namespace cv {
namespace {

class EventJournalTest : public ::testing::Test {
protected:
    void report(const std::string& kind, const std::string& text, Severity severity = Severity::Warning) {
        journal.report(kind, severity, text, clock.elapsedMs());
    }
    void passSeconds(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.ms += 1000;
            journal.tick(clock.elapsedMs());
        }
    }
    test::FakeClock clock;
    std::vector<std::string> lines;
    EventJournal journal{"cvrecord", [this](const std::string& line) { lines.push_back(line); }};
};

struct Flood {
    const char* name;
    int events;
    std::vector<std::string> expected;  // what the journal holds a minute later
};

class EventJournalFlood : public EventJournalTest, public ::testing::WithParamInterface<Flood> {};

TEST_P(EventJournalFlood, TellsTheFirstFewAndThenHowManyMoreWithTheLast) {
    for (int i = 1; i <= GetParam().events; ++i) report("Mux ID Error", "record " + std::to_string(i));
    passSeconds(60);
    EXPECT_EQ(lines, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Events, EventJournalFlood,
    ::testing::Values(Flood{"One", 1, {"<4>cvrecord: record 1"}},
                      Flood{"UpToTheCap", 5,
                            {"<4>cvrecord: record 1", "<4>cvrecord: record 2", "<4>cvrecord: record 3",
                             "<4>cvrecord: record 4", "<4>cvrecord: record 5"}},
                      Flood{"ThousandsInAMinute", 3000,
                            {"<4>cvrecord: record 1", "<4>cvrecord: record 2", "<4>cvrecord: record 3",
                             "<4>cvrecord: record 4", "<4>cvrecord: record 5",
                             "<4>cvrecord: 2995 more like this in the last minute, the last: record 3000"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventJournalTest, AFloodOfOneKindHoldsNoOtherKindBack) {
    for (int i = 0; i < 50; ++i) report("client", "client connected");
    report("port", "COM1 lost", Severity::Error);
    EXPECT_EQ(lines.back(), "<3>cvrecord: COM1 lost");
    EXPECT_EQ(lines.size(), size_t(EventJournal::kLinesPerMinute + 1));
}

TEST_F(EventJournalTest, AKindIsToldAgainOnceItsMinuteIsOverWhatWasHeldFirst) {
    for (int i = 0; i < 7; ++i) report("port", "COM1 lost");
    passSeconds(59);
    EXPECT_EQ(lines.size(), 5u) << "held back inside its minute";
    clock.ms += 1000;  // the minute is over; the next event comes before the tick
    report("port", "COM1 back", Severity::Info);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5], "<4>cvrecord: 2 more like this in the last minute, the last: COM1 lost");
    EXPECT_EQ(lines[6], "<6>cvrecord: COM1 back");
}

TEST_F(EventJournalTest, TheCapHoldsAcrossTheWrapOfTheMillisecondCount) {
    clock.ms = 0xFFFFFFFFu - 1000;
    for (int i = 0; i < 6; ++i) report("client", "client dropped");
    passSeconds(30);  // past the wrap, inside the minute
    EXPECT_EQ(lines.size(), 5u);
    passSeconds(30);
    EXPECT_EQ(lines.size(), 6u);
}

TEST_F(EventJournalTest, ALineEndInTheTextCannotStartALineWithoutSeverity) {
    report("box", "Archive File Error: cannot write\nrun.arc");
    EXPECT_EQ(lines, std::vector<std::string>{"<4>cvrecord: Archive File Error: cannot write run.arc"});
}

} // namespace
} // namespace cv
