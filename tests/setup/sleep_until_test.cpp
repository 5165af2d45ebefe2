#include <gtest/gtest.h>

#include <cstdlib>

#include "base/bytes.h"
#include "base/text_format.h"
#include "setup/setup_fixture.h"
#include "setup/sleep_until.h"

namespace cv::test {
namespace {

using namespace cv::sleepuntil;

TEST(SleepEntry, TimeNeedsThreeFieldsInRange) {
    const auto t = parseTime("7:5:0");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->hour, 7);
    EXPECT_EQ(t->minute, 5);
    EXPECT_EQ(t->second, 0);
    EXPECT_TRUE(parseTime(" 23: 59: 59"));
    for (const char* bad : {"24:00:00", "12:60:00", "12:00:60", "-1:00:00", "12:00", "HH:MM:SS", "12 00 00", "",
                            "99999999999999999999:0:0"})
        EXPECT_FALSE(parseTime(bad)) << bad;
}

TEST(SleepEntry, DateYearsAreTwoDigitsUpTo37OrFourDigitsAfter2000) {
    for (const char* good : {"1/1/37", "1/1/2001", "02/30/06", "12/31/00"}) EXPECT_TRUE(parseDate(good)) << good;
    for (const char* bad : {"1/1/38", "1/1/2000", "1/1/99", "13/1/06", "0/1/06", "1/32/06", "1/0/06", "MM/DD/YY", "1/1"})
        EXPECT_FALSE(parseDate(bad)) << bad;
    EXPECT_EQ(wallSecondsOf(*parseDate("1/1/37"), {0, 0, 0}), 2114380800);
    EXPECT_EQ(wallSecondsOf(*parseDate("02/30/06"), {0, 0, 0}), wallSecondsOf(*parseDate("03/02/06"), {0, 0, 0}));
}

class SleepRequest : public ::testing::Test {
protected:
    FakeClock clock;
    FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    RecordingSink sink;
    Outcome request(const std::string& time, const std::string& date) {
        return requestSleep(time, date, clock, warnings, dialogs, sink);
    }
    // The wall-clock text of a PC time `ahead` seconds from now, in the fake zone.
    std::pair<std::string, std::string> entryAhead(int ahead) {
        const std::tm tm = clock.localTime(clock.seconds + ahead);
        return {formatTime("%H:%M:%S", tm), formatTime("%m/%d/%y", tm)};
    }
};

TEST_F(SleepRequest, ThirtySecondsAheadIsSentWithTheWallClockTime) {
    clock.offsetWestSeconds = 18000;
    clock.dst = true;
    const auto [time, date] = entryAhead(30);
    ASSERT_EQ(request(time, date), Outcome::Sent);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "KR-8 Sleep Option");
    EXPECT_EQ(dialogs.boxes[0].text, "Sleep Until " + time + " on " + date + " ?");
    EXPECT_EQ(dialogs.boxes[0].buttons, Buttons::OkCancel);
    const uint32_t wall = uint32_t(clock.seconds + 30 - 18000 + 3600);
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(sink.writes[0], packetBytes(cmd::kSleepUntil, 0, wall));
}

TEST_F(SleepRequest, TwentyNineSecondsIsRefusedAfterTheQuestion) {
    const auto [time, date] = entryAhead(29);
    EXPECT_EQ(request(time, date), Outcome::TooSoon);
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].caption, "KR-8 Sleep Option");
    EXPECT_TRUE(dialogs.saw("Sleep Error", "You must specify a time at least 30 seconds later than the current time"));
    EXPECT_TRUE(sink.writes.empty());
}

TEST_F(SleepRequest, CancelSendsNothing) {
    dialogs.answers.push_back(Answer::Cancel);
    const auto [time, date] = entryAhead(3600);
    EXPECT_EQ(request(time, date), Outcome::Cancelled);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(sink.writes.empty());
}

TEST_F(SleepRequest, OverlongDayIsConfirmedAsTheNormalisedDate) {
    EXPECT_EQ(request("00:00:00", "02/30/06"), Outcome::TooSoon);
    EXPECT_EQ(dialogs.boxes[0].text, "Sleep Until 00:00:00 on 03/02/06 ?");
}

TEST_F(SleepRequest, BadEntriesGiveOneWarningAndNoQuestion) {
    EXPECT_EQ(request("24:00:00", "01/01/30"), Outcome::TimeFormatError);
    EXPECT_TRUE(dialogs.saw("Time Format Error", "Time format is HH:MM:SS"));
    EXPECT_EQ(request("12:00:00", "1/1/38"), Outcome::DateFormatError);
    EXPECT_TRUE(dialogs.saw("Date Format Error", "Date 1/1/38 is Invalid\n\nDate Format is MM/DD/YY"));
    EXPECT_EQ(request("12:00:00", "1/1/2040"), Outcome::DateFormatError) << "past the logger's 32-bit clock";
    EXPECT_EQ(request("12:00:00", "%s%n"), Outcome::DateFormatError);
    EXPECT_EQ(dialogs.boxes.size(), 4u);
    EXPECT_TRUE(sink.writes.empty());
}

// With the real clock the daylight correction follows the PC's state now, not the state on the
// wake-up date: the logger gets the wall-clock time entered either way.
TEST(SleepRequestRealZone, WakeUpTimeIsTheEnteredWallClockInEverySeason) {
    std::optional<std::string> saved;
    if (const char* tz = std::getenv("TZ")) saved = tz;
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    SystemClock clock;
    FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    RecordingSink sink;
    for (const char* date : {"01/15/2037", "07/15/2037"}) {
        sink.writes.clear();
        ASSERT_EQ(requestSleep("06:30:00", date, clock, warnings, dialogs, sink), Outcome::Sent) << date;
        const int64_t wall = wallSecondsOf(*parseDate(date), {6, 30, 0});
        EXPECT_EQ(sink.writes.at(0), packetBytes(cmd::kSleepUntil, 0, uint32_t(wall))) << date;
    }
    if (saved)
        setenv("TZ", saved->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
} // namespace cv::test
