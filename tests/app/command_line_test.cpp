// The three programs as a script or a user calls them wrongly: one line naming the fault, a
// pointer to --help, exit status 2; and cvhost's help and version need no display.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace cv {
namespace {

std::filesystem::path programDir() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().parent_path();
}

struct Outcome {
    int status = -1;
    std::string output;  // standard error, or standard output with `stdoutOnly`
};

Outcome run(const std::string& program, const std::string& args, bool stdoutOnly = false) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                (programDir() / program).string() + "' " + args +
                                (stdoutOnly ? " 2>/dev/null" : " 2>&1 >/dev/null");
    Outcome o;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return o;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) o.output.append(buffer.data(), n);
    const int raw = pclose(pipe);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

struct UsageCase {
    std::string program, args, fault;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.program << ' ' << c.args; }

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, OneLineNamingTheFaultThenTheWayToHelp) {
    const UsageCase& c = GetParam();
    const Outcome o = run(c.program, c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.output, c.program + ": " + c.fault + "\nTry '" + c.program + " --help'\n");
}

INSTANTIATE_TEST_SUITE_P(
    AllPrograms, UsageErrors,
    ::testing::Values(UsageCase{"cvhost", "--bogus", "Unknown option 'bogus'."},
                      UsageCase{"cvhost", "--com 13=/dev/ttyUSB0",
                                "--com '13=/dev/ttyUSB0': expected N=DEVICE with N from 1 to 12"},
                      UsageCase{"cvhost", "--speed 9600",
                                "--speed needs --logger-port (or --simulate) to say which port it is for"},
                      UsageCase{"cvhost", "--simulate-option=--generate-runs=5", "--simulate-option needs --simulate"},
                      UsageCase{"kr8sim", "--bogus", "unknown option: --bogus"},
                      UsageCase{"kr8sim", "--throttle", "--throttle needs a value"},
                      UsageCase{"cvextract", "--bogus", "unknown option --bogus"},
                      UsageCase{"cvextract", "", "no run file given"}));

TEST(CvhostCommandLine, HelpAndVersionNeedNoDisplay) {
    const Outcome help = run("cvhost", "--help", true);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: cvhost [options]\n", 0), 0u) << help.output;
    EXPECT_NE(help.output.find("--simulate-option <OPTION>"), std::string::npos);
    const Outcome version = run("cvhost", "--version", true);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("cvhost 7.06", 0), 0u) << version.output;
}

} // namespace
} // namespace cv
