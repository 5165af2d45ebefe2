// The kr8sim program as a user starts it: it names its device on standard output, serves the
// line and ends cleanly on a termination signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/fakes.h"
#include "support/logger_line.h"
#include "support/temp_dir.h"
#include "support/case_name.h"

extern char** environ;

namespace cv::test {
namespace {

using namespace std::chrono_literals;

// kr8sim is built beside the test programs' folder; KR8SIM names it elsewhere.
std::filesystem::path kr8simBinary() {
    if (const char* env = std::getenv("KR8SIM")) return env;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    for (const auto& dir : {self.parent_path(), self.parent_path().parent_path()})
        if (std::filesystem::exists(dir / "kr8sim", ec)) return dir / "kr8sim";
    return {};
}

class Kr8SimProcess {
public:
    explicit Kr8SimProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> all = {kr8simBinary().string()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~Kr8SimProcess() {
        if (m_pid > 0 && !m_exit) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
    }
    std::string readLine(std::chrono::milliseconds timeout) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::read(m_out, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }
    std::optional<int> waitExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_exit;
            }
            usleep(20000);
        }
        return std::nullopt;
    }
    void terminate() { kill(m_pid, SIGTERM); }
    bool started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::optional<int> m_exit;
};

TEST(Kr8SimProgram, NamesItsDeviceServesTheLineAndEndsOnTerminate) {
    if (kr8simBinary().empty()) GTEST_SKIP() << "kr8sim is not built beside the tests";
    TempDir dir;
    const auto link = dir / "logger";
    Kr8SimProcess process({"--pty", "--link", link.string(), "--generate-runs", "2", "--logger-id", "4"});
    ASSERT_TRUE(process.started());
    const std::string device = process.readLine(5s);
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);
    {
        LoggerLine line(link.string());
        const auto status = line.nextOfType(3);
        ASSERT_TRUE(status);
        EXPECT_EQ(le16s(status->bytes, 20), 4);
        line.write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
        EXPECT_TRUE(line.nextOfType(5));
        EXPECT_TRUE(line.nextOfType(5));
    }
    process.terminate();
    EXPECT_EQ(process.waitExit(5s), 0);
    std::error_code ec;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link, ec))) << "the link is removed";
}

TEST(Kr8SimProgram, StreamsSeveralUnitsAndLogsEveryPacketItSent) {
    if (kr8simBinary().empty()) GTEST_SKIP() << "kr8sim is not built beside the tests";
    TempDir dir;
    const auto sentLog = dir / "sent.txt";
    Kr8SimProcess process({"--stream-units", "0,2", "--stream-interval", "50", "--duplicate-every", "3", "--sent-log",
                           sentLog.string()});
    ASSERT_TRUE(process.started());
    const std::string device = process.readLine(5s);
    ASSERT_FALSE(device.empty());
    std::vector<std::string> expected;
    {
        LoggerLine line(device);
        line.write(bytesOf("02 02 A2 A2 00 00 00 00 00 00 48 01"));
        for (int i = 0; i < 12; ++i) {
            const auto mux = line.nextOfType(8);
            ASSERT_TRUE(mux);
            const bool repeated = !expected.empty() && line.seen().size() >= 2 &&
                                  line.seen()[line.seen().size() - 2].bytes == mux->bytes;
            expected.push_back("unit " + std::to_string(mux->bytes[4]) + " sequence " + std::to_string(mux->bytes[5]) +
                               " payload " + std::to_string(be16(mux->bytes, 6)) + (repeated ? " duplicate" : ""));
        }
    }
    process.terminate();
    EXPECT_EQ(process.waitExit(5s), 0);
    std::ifstream in(sentLog);
    std::vector<std::string> logged;
    for (std::string text; std::getline(in, text) && logged.size() < expected.size();) {
        const size_t time = text.find(" time ");
        const size_t dup = text.find(" duplicate");
        logged.push_back(text.substr(0, time) + (dup != std::string::npos ? " duplicate" : ""));
    }
    EXPECT_EQ(logged, expected);
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](const std::string& e) {
        return e.starts_with("unit 0 sequence 2 ") && e.ends_with(" duplicate");
    })) << "the time unit's third record went out twice";
}

// A pseudo-terminal carries bytes at any speed; --pace-line holds the logger to the speed the
// host set, so 40 directory entries (2560 bytes) take 21 s at 1200 baud instead of no time.
// Measured by the time the bytes take rather than by the bytes a given time brings, so a
// busy machine cannot make it fail.
class Kr8SimPacing : public ::testing::TestWithParam<bool> {};

TEST_P(Kr8SimPacing, DirectoryArrivesAtTheLineSpeedOnlyWhenPaced) {
    if (kr8simBinary().empty()) GTEST_SKIP() << "kr8sim is not built beside the tests";
    const bool paced = GetParam();
    std::vector<std::string> args = {"--generate-runs", "40"};
    if (paced) args.push_back("--pace-line");
    Kr8SimProcess process(args);
    ASSERT_TRUE(process.started());
    const std::string device = process.readLine(5s);
    ASSERT_FALSE(device.empty());
    LoggerLine line(device);
    line.setLine(B1200, 8);
    // Two statuses a second apart: the simulator has looked at the line's speed since it was set.
    ASSERT_TRUE(line.nextOfType(3));
    ASSERT_TRUE(line.nextOfType(3));
    // Every byte counted below left the simulator after `asked`: what came before is dropped.
    const auto asked = std::chrono::steady_clock::now();
    line.readAvailable();
    line.readRaw(0, 0ms);
    line.write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    if (paced) {
        // At about 120 bytes a second 360 bytes need nearly three seconds; a busy machine only
        // makes that longer, and two seconds leave room for bytes still on their way.
        ASSERT_GE(line.readRaw(360, 30s).size(), 360u);
        EXPECT_GE(std::chrono::steady_clock::now() - asked, 2s);
    } else {
        EXPECT_GE(line.readRaw(2560, 10s).size(), 2560u) << "the whole directory, in less than half its paced time";
    }
    process.terminate();
    EXPECT_EQ(process.waitExit(5s), 0);
}

INSTANTIATE_TEST_SUITE_P(PacedOrNot, Kr8SimPacing, ::testing::Bool(),
                         [](const auto& i) { return std::string(i.param ? "Paced" : "Unpaced"); });

} // namespace
} // namespace cv::test
