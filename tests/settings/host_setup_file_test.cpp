// The host setup file without a window: the header and count rules, the boxes a damaged file
// raises (and that it then changes nothing), and writing through a temporary file.
#include <gtest/gtest.h>

#include <map>

#include "ports/operator_dialogs.h"
#include "settings/host_setup_file.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv {
namespace {

namespace fs = std::filesystem;

// Writes line*10+position on every line and keeps what it is given to apply.
struct RecordingPart : HostSetupPart {
    std::map<int, std::vector<int>> applied;
    std::vector<HostSetupLoad> loads;
    void writeHostSetupLine(int number, std::vector<int>& values) const override {
        for (size_t i = 0; i < values.size(); ++i) values[i] = number * 10 + int(i);
    }
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override {
        applied[number] = values;
        loads.push_back(load);
    }
};

struct HostSetupFileTest : ::testing::Test {
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    RecordingPart part;
    std::vector<HostSetupPart*> parts{&part};

    std::vector<std::string> validLines() {
        std::vector<std::string> lines{hostsetup::headerLine()};
        for (int n = 1; n <= hostsetup::kLineCount; ++n)
            lines.push_back(hostsetup::lineText(n, std::vector<int>(size_t(hostsetup::kCounts[size_t(n)]), n)));
        return lines;
    }
    static std::string join(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        return text;
    }
    bool load(const std::vector<std::string>& lines, bool atStartup = true) {
        return hostsetup::loadText(join(lines), parts, atStartup, warnings);
    }
};

TEST_F(HostSetupFileTest, WrittenFileHasTheHeaderTheCountsAndCrLf) {
    const std::string text = hostsetup::fileText(parts);
    EXPECT_EQ(text.substr(0, 22), "CV Host Version=7.06\r\n");
    EXPECT_NE(text.find("\r\n4 0 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n13 4 130 131 132 133 \r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 21), "\r\n22 1 220 Last.plt\r\n");
}

TEST_F(HostSetupFileTest, ACurrentFileIsAppliedLineByLineWithItsFlags) {
    ASSERT_TRUE(load(validLines(), false));
    EXPECT_TRUE(dialogs.boxes.empty());
    ASSERT_EQ(part.applied.size(), 22u);
    EXPECT_EQ(std::vector<int>(part.applied[6].begin(), part.applied[6].begin() + 11), std::vector<int>(11, 6));
    EXPECT_TRUE(part.loads.front().currentVersion);
    EXPECT_FALSE(part.loads.front().atStartup);
}

TEST_F(HostSetupFileTest, AnOlderFileCarriesTwoValuesOnLineOneAndExtraWordsAreIgnored) {
    auto lines = validLines();
    lines[0] = "CV Host Version=7.05";
    lines[1] = "1 2 3 9";
    lines[6] += " and more words";
    lines[7] = "7 13 " + std::string("-1 70000 ") + "0 0 0 0 0 0 0 0 0 0 0";
    ASSERT_TRUE(load(lines));
    EXPECT_FALSE(part.loads.front().currentVersion);
    EXPECT_EQ(part.applied[1][0], 3);
    EXPECT_EQ(part.applied[1][1], 9);
    EXPECT_EQ(part.applied[7][0], -1);
    EXPECT_EQ(part.applied[7][1], 4464);  // kept as 16 bits, as the file has always been read
}

TEST_F(HostSetupFileTest, LfLineEndsAreReadToo) {
    std::string text;
    for (const auto& l : validLines()) text += l + "\n";
    EXPECT_TRUE(hostsetup::loadText(text, parts, true, warnings));
}

struct Damage {
    const char* name;
    std::function<void(std::vector<std::string>&)> damage;
    const char* title;
    const char* text;  // "=line N": the damaged line itself
};

struct DamagedFile : HostSetupFileTest, ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedFile, IsRefusedWithOneBoxAndNothingApplied) {
    auto lines = validLines();
    GetParam().damage(lines);
    std::string expectedText = GetParam().text;
    if (expectedText.rfind("=line ", 0) == 0) expectedText = lines[size_t(std::stoi(expectedText.substr(6)))];
    EXPECT_FALSE(load(lines));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, GetParam().title);
    EXPECT_EQ(dialogs.boxes[0].text, expectedText);
    EXPECT_EQ(dialogs.beeps, std::vector<Icon>{Icon::Exclamation});
    EXPECT_TRUE(part.applied.empty());
}

const char* const kE1 = "Invalid Record in *.CVH File - The CVH File was NOT Loaded E1";
const char* const kE2 = "Bad Line Number in *.CVH File - The CVH File was Not Loaded E2";
const char* const kE4 = "Invalid Record in *.CVH File - The CVH File was NOT Loaded E4";

INSTANTIATE_TEST_SUITE_P(
    Rules, DamagedFile,
    ::testing::Values(
        Damage{"OlderHeaderWithThreeValues", [](auto& l) { l[0] = "CV Host Version=7.05"; },
               "Invalid Record in *.CVH, j 1 count 2 lcount 3", "=line 1"},
        Damage{"AnyOtherHeaderWithThreeValues", [](auto& l) { l[0] = "Setup"; },
               "Invalid Record in *.CVH, j 1 count 2 lcount 3", "=line 1"},
        Damage{"NoHeader", [](auto& l) { l.erase(l.begin()); }, kE2, "Looking for Line 1, Found Line 2"},
        Damage{"LetterForAValue", [](auto& l) { l[6] = "6 11 6 6 x 6 6 6 6 6 6 6 6"; }, kE4, "=line 6"},
        Damage{"TooFewValues", [](auto& l) { l[8] = "8 4 1 2 3"; }, kE4, "=line 8"},
        Damage{"CountAboveTwenty", [](auto& l) { l[5] = "5 21 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"; },
               "Invalid Record in *.CVH, j 1 count 12 lcount 21", "=line 5"},
        Damage{"NegativeCount", [](auto& l) { l[4] = "4 -1"; }, "Invalid Record in *.CVH, j 1 count 0 lcount -1",
               "=line 4"},
        Damage{"CountNotANumber", [](auto& l) { l[9] = "9 four 0 0 1 1"; },
               "Invalid Record in *.CVH, j 0 count 4 lcount 0", "=line 9"},
        Damage{"EndsAfterItsNumber", [](auto& l) { l[7] = "7"; }, "Invalid Record in *.CVH, j 0 count 13 lcount 0",
               "=line 7"},
        Damage{"LineNumberNotANumber", [](auto& l) { l[3] = "three 3 1 1 1"; }, kE1, "=line 3"},
        Damage{"EmptyLine", [](auto& l) { l[12] = ""; }, kE1, ""},
        Damage{"LinesOutOfOrder", [](auto& l) { std::swap(l[14], l[15]); }, kE2, "Looking for Line 14, Found Line 15"},
        Damage{"EndsEarly", [](auto& l) { l.resize(11); }, kE1, "Looking for Line 11, Found End of File"},
        Damage{"DamageInTheLastLine", [](auto& l) { l[22] = "22 1"; }, kE4, "=line 22"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostSetupFileTest, AMissingFileIsNotLoadedAndSaysNothing) {
    test::TempDir dir;
    EXPECT_FALSE(hostsetup::load(dir / "last.cvh", parts, true, warnings));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(HostSetupFileTest, SavingReplacesTheFileAndLeavesNoTemporaryBehind) {
    test::TempDir dir;
    test::writeFile(dir / "a.cvh", test::textBytes("old"));
    ASSERT_TRUE(hostsetup::save(dir / "a.cvh", parts));
    EXPECT_EQ(test::readFile(dir / "a.cvh"), test::textBytes(hostsetup::fileText(parts)));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_TRUE(hostsetup::load(dir / "a.cvh", parts, true, warnings));
}

TEST_F(HostSetupFileTest, AFailedWriteLeavesTheOldFileWhole) {
    test::TempDir dir;
    const std::string old = join(validLines());
    test::writeFile(dir / "a.cvh", test::textBytes(old));
    fs::create_directory(dir / "a.cvh.tmp");  // the temporary cannot be made
    EXPECT_FALSE(hostsetup::save(dir / "a.cvh", parts));
    EXPECT_EQ(test::readFile(dir / "a.cvh"), test::textBytes(old));
    EXPECT_FALSE(hostsetup::save(dir / "no-such-folder" / "a.cvh", parts));
}

struct ExtentCase {
    int stored, current, room, taken;
};
class WindowExtent : public ::testing::TestWithParam<ExtentCase> {};
TEST_P(WindowExtent, KeepsTheWindowsOwnForNothingAndNeverExceedsTheRoom) {
    const ExtentCase& c = GetParam();
    EXPECT_EQ(hostsetup::windowExtent(c.stored, c.current, c.room), c.taken);
}
INSTANTIATE_TEST_SUITE_P(Sizes, WindowExtent,
                         ::testing::Values(ExtentCase{700, 600, 760, 700}, ExtentCase{32767, 600, 760, 760},
                                           ExtentCase{0, 600, 760, 600}, ExtentCase{-32768, 600, 760, 600}),
                         [](const auto& i) { return "Stored" + ::cv::test::caseName(std::to_string(i.param.stored)); });

} // namespace
} // namespace cv
