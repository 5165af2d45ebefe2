// The field reader as the plot and cvarchive see it: lines out of a port's bytes, numbers and
// gaps out of a line, and the names of columns.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "protocol/field_reader.h"
#include "support/case_name.h"

namespace cv::fields {
namespace {

using Values = std::vector<std::optional<double>>;
constexpr std::nullopt_t gap = std::nullopt;

struct SplitCase {
    const char* name;
    std::vector<std::string> feeds;
    std::vector<std::string> lines;  // a cut line ends in '~'
    size_t limit = LineSplitter::kMaxLine;
};
class LineSplitterCase : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LineSplitterCase, GivesEachLineOnce) {
    LineSplitter splitter(GetParam().limit);
    std::vector<std::string> lines;
    auto take = [&](std::string_view text, bool cut) { lines.push_back(std::string(text) + (cut ? "~" : "")); };
    for (const auto& feed : GetParam().feeds)
        splitter.feed(reinterpret_cast<const uint8_t*>(feed.data()), feed.size(), take);
    splitter.finish(take);
    EXPECT_EQ(lines, GetParam().lines);
    size_t cut = 0;
    for (const auto& l : lines) cut += l.back() == '~';
    EXPECT_EQ(splitter.cutLines(), cut);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LineSplitterCase,
    ::testing::Values(SplitCase{"Cr", {"a\rb\r"}, {"a", "b"}}, SplitCase{"Lf", {"a\nb\n"}, {"a", "b"}},
                      SplitCase{"CrLfOnce", {"a\r\nb\r\n"}, {"a", "b"}},
                      SplitCase{"CrLfSplitAcrossFeeds", {"a\r", "\nb\r", "\n"}, {"a", "b"}},
                      SplitCase{"EmptyLinesSkipped", {"\n\na\n\r\r\nb"}, {"a", "b"}},
                      SplitCase{"LineSpansFeeds", {"12.", "5,", "7\r", "\n"}, {"12.5,7"}},
                      SplitCase{"LongLineCutRestDropped", {"abcdef", "ghij\r\nxy\n"}, {"abcdefgh~", "xy"}, 8},
                      SplitCase{"LineOfTheLimitWhole", {"abcdefgh\nabcdefghi\n"}, {"abcdefgh", "abcdefgh~"}, 8}),
    [](const auto& info) { return std::string(info.param.name); });

struct LineCase {
    const char* name;
    const char* text;
    const char* sentence;
    Checksum checksum;
    Values values;  // fields 1.. of the line as read
};
class ParseLineCase : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParseLineCase, FieldsAndGaps) {
    const ParsedLine line = parseLine(GetParam().text);
    EXPECT_EQ(line.sentence, GetParam().sentence);
    EXPECT_EQ(line.checksum, GetParam().checksum);
    EXPECT_EQ(line.valid, GetParam().checksum != Checksum::Bad);
    Values values;
    for (int n = 1; n <= int(GetParam().values.size()); ++n) values.push_back(line.value(n));
    EXPECT_EQ(values, GetParam().values);
    EXPECT_EQ(line.value(int(GetParam().values.size()) + 1), gap) << "a field past the end is a gap";
    EXPECT_EQ(line.value(0), gap);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseLineCase,
    ::testing::Values(
        LineCase{"Commas", "00000, 12.362,  8.28, 14.0", "", Checksum::None, {0, 12.362, 8.28, 14.0}},
        LineCase{"Semicolons", "1;-2;;x;", "", Checksum::None, {1, -2, gap, gap, gap}},
        LineCase{"Blanks", "  MFX 00000\t 30.56   4.42 101.25 ", "", Checksum::None, {gap, 0, 30.56, 4.42, 101.25}},
        LineCase{"GoodSentence", "$GPGGA,1,,x,-2.5e1*4F", "GPGGA", Checksum::Good, {1, gap, gap, -25}},
        LineCase{"LowerCaseChecksum", "$GPRMC,A,4807.038*14", "GPRMC", Checksum::Good, {gap, 4807.038}},
        LineCase{"BadChecksumAllGaps", "$GPGGA,1,,x,-2.5e1*4E", "GPGGA", Checksum::Bad, {gap, gap, gap, gap}},
        LineCase{"ChecksumNotHex", "$GPGGA,1*G1", "GPGGA", Checksum::Bad, {gap}},
        LineCase{"SentenceWithoutChecksum", "$PSXN,7, 8.5", "PSXN", Checksum::None, {7, 8.5}},
        LineCase{"NameOnly", "$GPGGA*56", "GPGGA", Checksum::Good, {}},
        LineCase{"DollarNotASentence", "$ 12,13", "", Checksum::None, {gap, 13}},
        LineCase{"EncapsulatedSentence", "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*24", "AIVDM", Checksum::Good,
                 {1, 1, gap, gap, gap, 0}},
        LineCase{"EncapsulatedBadChecksum", "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*25", "AIVDM", Checksum::Bad,
                 {gap, gap, gap, gap, gap, gap}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseLine, ACutLineReadsAsGaps) {
    EXPECT_EQ(parseLine("1,2,3", true).value(1), gap);
}

struct NumberCase {
    const char* text;
    std::optional<double> value;
};
class ParseNumberCase : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseNumberCase, CommonFormsOnly) { EXPECT_EQ(parseNumber(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(Forms, ParseNumberCase,
                         ::testing::Values(NumberCase{"+1.5", 1.5}, NumberCase{"-2", -2}, NumberCase{"1e-3", 1e-3},
                                           NumberCase{".5", 0.5}, NumberCase{" 7 ", 7}, NumberCase{"-0.25E+2", -25},
                                           NumberCase{"", gap}, NumberCase{"1.2.3", gap}, NumberCase{"+-1", gap},
                                           NumberCase{"12V", gap}, NumberCase{"0x10", gap}, NumberCase{"nan", gap},
                                           NumberCase{"inf", gap}, NumberCase{"1e999", gap}, NumberCase{"-", gap}),
                         [](const auto& i) { return *i.param.text ? ::cv::test::caseName(i.param.text) : std::string("Nothing"); });

struct ColumnCase {
    const char* text;
    std::optional<FieldColumn> column;
    const char* fault;
};
class FieldColumnCase : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(FieldColumnCase, ParsesAndWritesBack) {
    std::string fault;
    const auto column = parseFieldColumn(GetParam().text, fault);
    EXPECT_EQ(column, GetParam().column);
    EXPECT_EQ(fault, GetParam().fault);
    if (column) {
        EXPECT_EQ(column->text(), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldColumnCase,
    ::testing::Values(ColumnCase{"3:2", FieldColumn{3, "", 2}, ""}, ColumnCase{"2:GPGGA:2", FieldColumn{2, "GPGGA", 2}, ""},
                      ColumnCase{"3", std::nullopt, "PORT:FIELD or PORT:SENTENCE:FIELD"},
                      ColumnCase{"9:1", std::nullopt, "a port from 1 to 8 before the first ':'"},
                      ColumnCase{"2:0", std::nullopt, "a field number from 1 after the last ':'"},
                      ColumnCase{"2:GP GGA:1", std::nullopt, "a sentence name of letters and digits (GPGGA) between the ':'"},
                      ColumnCase{"1:2:3:4", std::nullopt, "PORT:FIELD or PORT:SENTENCE:FIELD"}),
                         [](const auto& i) { return ::cv::test::caseName(i.param.text); });

// A sentence column is the same column whichever sentences share the port; a plain column counts
// the fields of every line, after a sentence's name.
TEST(FieldColumn, SentenceNamesTheColumnWhateverSharesThePort) {
    const FieldColumn gga{2, "GPGGA", 2}, plain{2, "", 2};
    const ParsedLine ggaLine = parseLine("$GPGGA,221320.00,4807.343,N*0B");
    const ParsedLine zda = parseLine("$GPZDA,221320.00,14,11,2023,00,00*60");
    ASSERT_EQ(zda.checksum, Checksum::Good);
    EXPECT_FALSE(gga.reads(zda));
    EXPECT_EQ(gga.valueIn(zda), gap);
    EXPECT_EQ(plain.valueIn(zda), 14);
    EXPECT_EQ(gga.valueIn(ggaLine), 4807.343);
}

} // namespace
} // namespace cv::fields
