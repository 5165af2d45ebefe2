#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "upload_rig.h"

namespace cv::test {
namespace {

struct RowCase {
    const char* name;
    EntryFields fields;
    const char* expected;
};
void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

EntryFields plainEntry() {
    EntryFields f;
    f.run = 5;
    f.mode = 0;
    f.start = 0;
    f.size = 1023;
    f.startMv = 12345;
    f.endMv = 11000;
    return f;
}

EntryFields fullEntry() {
    EntryFields f;
    f.run = 42;
    f.mode = 7;
    f.ports = {1, 0, -1, 7, 3, 0, 7, 2};
    f.analog = {1, 2, 0, 1, 0, 0, 2};
    f.pumps = {1, 0, 1, 0};
    f.start = 1700000000;  // 2023-11-14 22:13:20
    f.size = 1535;
    f.startMv = 9876;
    f.endMv = 0;
    return f;
}

EntryFields withSize(EntryFields f, uint32_t size) {
    f.size = size;
    return f;
}

EntryFields withMode(EntryFields f, int16_t mode, int16_t run) {
    f.mode = mode;
    f.run = run;
    return f;
}

class DirectoryRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(DirectoryRowTest, RowTextIsExact) {
    UploadRig rig;
    rig.directory.entryArrived(entryPacket(GetParam().fields));
    ASSERT_EQ(rig.view.rows.size(), 1u);
    EXPECT_EQ(rig.view.rows[0], GetParam().expected);
}

// In a fixed-pitch font each heading stands over its column: text columns start under the
// heading's first letter, number columns end under its last.
TEST_P(DirectoryRowTest, HeadingsSitOverTheirColumns) {
    const std::string row = directoryRowText(DirectoryEntry::decode(entryPacket(GetParam().fields)));
    const std::string heading = directoryHeadingText();
    for (const char* word : {"Mode", "Date", "Time"}) {
        const size_t a = heading.find(word);
        ASSERT_NE(a, std::string::npos) << word;
        EXPECT_TRUE(row[a] != ' ' && row[a - 1] == ' ') << word << "\n" << heading << "\n" << row;
    }
    for (const char* word : {"Start", "End", "Size"}) {
        const size_t end = heading.find(word) + std::string(word).size();
        EXPECT_TRUE(row[end - 1] != ' ' && row[end] == ' ') << word << "\n" << heading << "\n" << row;
    }
    // The run number lies under "Run #".
    EXPECT_EQ(heading.substr(0, 5), "Run #");
    EXPECT_EQ(row.find_first_not_of(' '), 1u);
    EXPECT_EQ(row.find(' ', 1), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DirectoryRowTest,
    ::testing::Values(
        RowCase{"BytesBelowOneK", plainEntry(),
                " 005    " " PROF  " "   01/01/70  00:00:00" "   12.3   11.0 " "        1023  "
                "  Serial:" "  Analog:" "  Pumps:"},
        RowCase{"PumpPortsAndPumpChannelsListedUnderPumps", fullEntry(),
                " 042    " " Port4 " "   11/14/23  22:13:20" "    9.9    0.0 " "           1 K"
                "  Serial: 1 5 8" "  Analog: 1 4" "  Pumps: 1 3 S4 S7 A2 A7"},
        RowCase{"ExactlyOneK", withSize(plainEntry(), 1024),
                " 005    " " PROF  " "   01/01/70  00:00:00" "   12.3   11.0 " "           1 K"
                "  Serial:" "  Analog:" "  Pumps:"},
        RowCase{"ZeroBytes", withSize(plainEntry(), 0),
                " 005    " " PROF  " "   01/01/70  00:00:00" "   12.3   11.0 " "           0  "
                "  Serial:" "  Analog:" "  Pumps:"},
        RowCase{"WholeKilobytesRoundedDown", withSize(plainEntry(), 5000000),
                " 005    " " PROF  " "   01/01/70  00:00:00" "   12.3   11.0 " "        4882 K"
                "  Serial:" "  Analog:" "  Pumps:"},
        RowCase{"RealTimeModeIsAnError", withMode(plainEntry(), 2, 511),
                " 511    " " ERR   " "   01/01/70  00:00:00" "   12.3   11.0 " "        1023  "
                "  Serial:" "  Analog:" "  Pumps:"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ModeCase {
    int mode;
    const char* text;
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << "mode " << c.mode; }

class ModeTextTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeTextTest, SevenCharacterColumn) {
    EXPECT_EQ(modeText(GetParam().mode), GetParam().text);
    EXPECT_EQ(modeText(GetParam().mode).size(), 7u);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTextTest,
                         ::testing::Values(ModeCase{0, " PROF  "}, ModeCase{1, " MOOR  "}, ModeCase{2, " ERR   "},
                                           ModeCase{3, " ANLG  "}, ModeCase{4, " Port1 "}, ModeCase{8, " Port5 "},
                                           ModeCase{11, " Port8 "}, ModeCase{12, " POLL  "},
                                           ModeCase{13, " NONE  "}, ModeCase{14, " ERR   "},
                                           ModeCase{-1, " ERR   "}, ModeCase{32767, " ERR   "}),
                         [](const auto& info) {
                             return (info.param.mode < 0 ? "Minus" : "Code") + std::to_string(std::abs(info.param.mode));
                         });

TEST(DirectoryRow, StartTimeIgnoresThePcTimeZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    const std::string row = directoryRowText(DirectoryEntry::decode(entryPacket(plainEntry())));
    if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
    tzset();
    EXPECT_NE(row.find("   01/01/70  00:00:00"), std::string::npos) << row;
}

TEST(RunDirectory, RunNumbersFrom512AreDroppedWithAnOverloadWarning) {
    UploadRig rig;
    rig.listRuns({{511, 100}, {512, 100}, {3000, 100}});
    EXPECT_EQ(rig.view.status, "Run Number: 3000");
    EXPECT_EQ(rig.directory.slotCount(), 1);
    ASSERT_EQ(rig.view.rows.size(), 1u);
    EXPECT_EQ(rig.view.rows[0].substr(0, 5), " 511 ");
    int overloads = 0;
    for (const auto& b : rig.dialogs.boxes)
        overloads += b.caption == "File System Overload" && b.text == "More than 512 files found recorded";
    EXPECT_EQ(overloads, 2);
}

TEST(RunDirectory, TableNeverGrowsBeyond512Slots) {
    UploadRig rig;
    rig.memory.getDirectory(9, "KR-8");
    for (int pass = 0; pass < 2; ++pass)
        for (int run = 0; run < 512; ++run) rig.entry(int16_t(run), 2000);
    EXPECT_EQ(rig.directory.slotCount(), 512);
    EXPECT_EQ(rig.view.rows.size(), 512u);
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);  // one warning for the whole read
    EXPECT_TRUE(rig.dialogs.saw("File System Overload", "More than 512 files found recorded"));
    // A new read starts from an empty table and may warn again.
    rig.memory.getDirectory(9, "KR-8");
    EXPECT_EQ(rig.directory.slotCount(), 0);
    EXPECT_TRUE(rig.view.rows.empty());
}

TEST(RunDirectory, RowsOutOfStepWarnOncePerRead) {
    UploadRig rig;
    rig.listRuns({{1, 100}, {2, 100}});
    rig.directory.clearRows();  // the tab became active: rows go, slots stay
    rig.entry(3, 100);
    rig.entry(4, 100);
    const auto mismatches = [&] {
        int n = 0;
        for (const auto& b : rig.dialogs.boxes)
            n += b.caption == "**** Warning - Run Directory Error ****" &&
                 b.text == "The Logger Directory maybe missing files, Press 'Get Logger Directory' to Reload";
        return n;
    };
    EXPECT_EQ(mismatches(), 1);
    // Pressing Get Directory re-arms the warning even when the press is refused.
    rig.sink.packets.clear();
    rig.memory.getDirectory(2, "KR-8");
    rig.entry(5, 100);
    EXPECT_EQ(mismatches(), 2);
}

TEST(RunDirectory, RowsAfterAClearedListStillFetchTheRunTheyShow) {
    UploadRig rig;
    rig.listRuns({{1, 100}, {2, 100}});
    rig.directory.clearRows();
    rig.entry(7, 100);  // shown as row 0, stored in slot 2
    rig.queue({0});
    rig.session.supervisionTick();
    ASSERT_EQ(rig.requests(), 1);
    EXPECT_EQ(getU16le(&rig.sink.withCode(cmd::kUploadRequest)[0][8]), 7);
}

} // namespace
} // namespace cv::test
