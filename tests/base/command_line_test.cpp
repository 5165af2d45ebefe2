// What every program built on the core does with a command line: the ordinary forms are read,
// each fault a user makes is named in one line, and the help is laid out alike.
#include <gtest/gtest.h>

#include "base/command_line.h"
#include "support/case_name.h"

namespace cv::cli {
namespace {

struct Sample {
    bool raw = false;
    std::string output;
    int port = 0;
    std::vector<std::string> files;
    Verdict verdict;
};

Sample parse(const std::vector<std::string>& args) {
    Sample s;
    CommandLine line("sample", {"[--raw] [-o DIR] FILE..."}, "Reads files.");
    line.flag("--raw", s.raw, "keep the bytes as they are");
    line.option("-o,--output", "DIR", "write into DIR", s.output);
    line.option("--port", "N", "port N only", [&s](const std::string& v) {
        if (v.size() != 1 || v[0] < '1' || v[0] > '8') return "a port from 1 to 8";
        s.port = v[0] - '0';
        return "";
    });
    line.arguments(s.files);
    s.verdict = line.parse(args);
    return s;
}

struct FaultCase {
    std::vector<std::string> args;
    std::string fault;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    for (const auto& a : c.args) *os << '[' << a << ']';
}

class CommandLineFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CommandLineFaults, NamedInOneLine) {
    const Sample s = parse(GetParam().args);
    EXPECT_EQ(s.verdict.kind, Verdict::UsageError);
    EXPECT_EQ(s.verdict.text, GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CommandLineFaults,
    ::testing::Values(FaultCase{{"a", "--bogus"}, "unknown option '--bogus'"},
                      FaultCase{{"--bogus=3", "a"}, "unknown option '--bogus'"},
                      FaultCase{{"-x", "a"}, "unknown option '-x'"},
                      FaultCase{{"a", "--port"}, "--port needs a value"},
                      FaultCase{{"--output=", "a"}, "--output needs a value"},
                      FaultCase{{"-o", "", "a"}, "--output needs a value"},
                      FaultCase{{"--raw=yes", "a"}, "--raw takes no value"},
                      FaultCase{{"--raw=", "a"}, "--raw takes no value"},
                      FaultCase{{"--port", "4", "--port", "9", "a"}, "--port '9': expected a port from 1 to 8"}),
                         ::cv::test::ReadableName());

TEST(CommandLine, ReadsTheUsualForms) {
    const Sample s = parse({"-oout", "--port=3", "a", "--raw", "--port", "5", "--", "-b", "--raw"});
    EXPECT_TRUE(s.verdict.run()) << s.verdict.text;
    EXPECT_TRUE(s.raw);
    EXPECT_EQ(s.output, "out");
    EXPECT_EQ(s.port, 5) << "the last one counts";
    EXPECT_EQ(s.files, (std::vector<std::string>{"a", "-b", "--raw"}));
}

TEST(CommandLine, HelpAndVersionWinOverTheRest) {
    const Sample help = parse({"--port", "2", "-h"});
    EXPECT_EQ(help.verdict.kind, Verdict::Help);
    EXPECT_EQ(help.verdict.text.rfind("Usage: sample [--raw] [-o DIR] FILE...\nReads files.\n", 0), 0u) << help.verdict.text;
    const Sample version = parse({"a", "--version"});
    EXPECT_EQ(version.verdict.kind, Verdict::Version);
    EXPECT_EQ(version.verdict.text, "sample " + programVersion());
}

TEST(CommandLine, HelpListsTheOptionsByGroupWrappedToTheTerminal) {
    bool flag = false;
    std::string value;
    CommandLine line("tool", {"list FILE...", "show [-q] FILE"}, "Does two things.", "Exit status: 0 done.");
    line.group("Output");
    line.flag("-q,--quiet", flag,
              "print nothing at all on standard output, not even the summary of each file at its end");
    line.group("Input");
    line.option("--link", "PATH", "read PATH", value);
    const Verdict help = line.parse({"--help"});
    EXPECT_EQ(help.text, "Usage: tool list FILE...\n"
                         "       tool show [-q] FILE\n"
                         "Does two things.\n"
                         "\n"
                         "Output:\n"
                         // a line fills the 79 columns that fit an 80-column terminal
                         "  -q, --quiet  print nothing at all on standard output, not even the summary of\n"
                         "               each file at its end\n"
                         "\n"
                         "Input:\n"
                         "  --link PATH  read PATH\n"
                         "  -h, --help   show this help and exit\n"
                         "  --version    show the version and exit\n"
                         "\n"
                         "Exit status: 0 done.\n");
}

} // namespace
} // namespace cv::cli
