// The five programs as a script or a user calls them: --help and --version on standard output
// with status 0, a usage error as one line naming the fault and a pointer to --help on standard
// error with status 2; none of it needs a display.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.h"
#include "support/case_name.h"

namespace cv {
namespace {

std::filesystem::path programDir() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path();
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome run(const std::string& program, const std::string& args) {
    test::TempDir dir;
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                (programDir() / program).string() + "' " + args + " 2>'" + (dir / "err").string() +
                                "' </dev/null";
    Outcome o;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return o;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) o.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream err(dir / "err");
    o.err.assign(std::istreambuf_iterator<char>(err), {});
    return o;
}

class ProgramConvention : public ::testing::TestWithParam<std::string> {};

TEST_P(ProgramConvention, HelpVersionAndAUsageError) {
    const std::string& program = GetParam();
    const Outcome help = run(program, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: " + program + " ", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    const Outcome version = run(program, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind(program + " 7.06 (build ", 0), 0u) << version.out;
    const Outcome wrong = run(program, "--bogus");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, program + ": unknown option '--bogus'\nTry '" + program + " --help'\n");
}

INSTANTIATE_TEST_SUITE_P(AllPrograms, ProgramConvention,
                         ::testing::Values("cvhost", "kr8sim", "cvextract", "cvarchive", "cvinstrument", "cvrecord"),
                         ::cv::test::ReadableName());

// The programs whose options are read in main() only; the others are tested in-process.
struct UsageCase {
    std::string program, args, fault;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.program << ' ' << c.args; }

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, OneLineNamingTheFaultThenTheWayToHelp) {
    const UsageCase& c = GetParam();
    const Outcome o = run(c.program, c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, c.program + ": " + c.fault + "\nTry '" + c.program + " --help'\n");
}

INSTANTIATE_TEST_SUITE_P(
    MainOnly, UsageErrors,
    ::testing::Values(UsageCase{"cvhost", "--com 13=/dev/ttyUSB0",
                                "--com '13=/dev/ttyUSB0': expected N=DEVICE with N from 1 to 12"},
                      // COM10..COM12 are mappings like any other: the fault is the next option's
                      UsageCase{"cvhost", "--com COM12=/dev/ttyUSB0 --com 10=/dev/ttyUSB1 --logger-port 13",
                                "--logger-port '13': expected a COM number from 1 to 12"},
                      UsageCase{"cvhost", "--speed 9600",
                                "--speed needs --logger-port (or --simulate) to say which port it is for"},
                      UsageCase{"cvhost", "--logger-port 1 --speed 300",
                                "--speed '300': expected 600 .. 115200, 4800,7,E,1 or 9600,7,E,1"},
                      UsageCase{"cvhost", "--simulate-option=--generate-runs=5", "--simulate-option needs --simulate"},
                      UsageCase{"cvhost", "--logger-port", "--logger-port needs a value"},
                      UsageCase{"cvhost", "--simulate=yes", "--simulate takes no value"},
                      UsageCase{"cvhost", "extra", "unexpected argument 'extra'"},
                      UsageCase{"cvinstrument", "--rate 0", "--rate '0': expected a rate from 0.1 to 100"},
                      UsageCase{"cvinstrument", "--count -1", "--count '-1': expected a count of 0 or more"},
                      UsageCase{"cvinstrument", "--talker ''", "--talker needs a value"},
                      UsageCase{"cvrecord", "--continuous a.arc", "--logger-port is required"},
                      UsageCase{"cvrecord", "--logger-port 1", "one of --continuous, --hourly or --daily is required"},
                      UsageCase{"cvrecord", "--logger-port 1 --hourly a --daily b",
                                "--continuous, --hourly and --daily exclude one another"},
                      UsageCase{"cvrecord", "--logger-port 1 --daily b --udp 2:1=5001",
                                "--udp '2:1=5001': expected LOGGER:SECTION=HOST:PORT"},
                      UsageCase{"cvrecord", "--logger-port 1 --daily b --udp 2:1=::1:5001",
                                "--udp '2:1=::1:5001': expected an IPv6 address in brackets, such as [::1]:5001"},
                      UsageCase{"cvrecord", "--logger-port 1 --daily b --mqtt-section 2:3", "--mqtt-section needs --mqtt"},
                      UsageCase{"cvrecord",
                                "--logger-port 1 --daily b --udp 2:9=127.0.0.1:5001 --mqtt broker --mqtt-section 2:1 "
                                "--mqtt-section 2:2 --mqtt-section 2:3 --mqtt-section 2:4 --mqtt-section 2:5 "
                                "--mqtt-section 2:6 --mqtt-section 2:7 --mqtt-section 2:8",
                                "at most 8 network outputs, --mqtt-section ones included"},
                      UsageCase{"cvrecord", "--logger-port 13 --daily b",
                                "--logger-port '13': expected a COM number from 1 to 12"},
                      UsageCase{"cvrecord", "--com 11=/dev/ttyUSB0 --com COM12=/dev/ttyUSB1 --logger-port 13 --daily b",
                                "--logger-port '13': expected a COM number from 1 to 12"}),
                         ::cv::test::ReadableName());

TEST(CvhostCommandLine, HelpListsItsOptions) {
    const Outcome help = run("cvhost", "--help");
    EXPECT_EQ(help.out.rfind("Usage: cvhost [options]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--simulate-option <OPTION>"), std::string::npos);
}

} // namespace
} // namespace cv
