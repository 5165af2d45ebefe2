// cvinstrument as a user starts it: it names its device, and what comes out of the device is
// the number of NMEA-like lines asked for, each with a checksum an instrument reader accepts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

extern char** environ;

namespace {

using namespace std::chrono;

std::filesystem::path instrumentBinary() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    for (const auto& dir : {self.parent_path(), self.parent_path().parent_path()})
        if (std::filesystem::exists(dir / "cvinstrument", ec)) return dir / "cvinstrument";
    return {};
}

// Reads from `fd` until `done` holds or the deadline passes.
template <class Done>
std::string readUntil(int fd, Done done, milliseconds deadline) {
    std::string got;
    const auto end = steady_clock::now() + deadline;
    while (!done(got) && steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, size_t(n));
    }
    return got;
}

bool checksumOk(const std::string& line) {
    const size_t star = line.find('*');
    if (line.size() < 6 || line[0] != '$' || star == std::string::npos || line.substr(star + 3) != "\r\n") return false;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    return std::stoul(line.substr(star + 1, 2), nullptr, 16) == sum;
}

TEST(InstrumentProgram, SendsTheLinesAskedForWithValidChecksums) {
    const auto binary = instrumentBinary();
    if (binary.empty()) GTEST_SKIP() << "cvinstrument is not built";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string path = binary.string();
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("--rate"), const_cast<char*>("5"),
                    const_cast<char*>("--count"), const_cast<char*>("6"), const_cast<char*>("--talker"),
                    const_cast<char*>("SBE37"), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    std::string device = readUntil(out[0], [](const std::string& s) { return s.find('\n') != std::string::npos; }, 10s);
    device = device.substr(0, device.find('\n'));
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    const int fd = open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << device;
    const auto lines = [](const std::string& s) {
        size_t n = 0;
        for (size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at + 2)) ++n;
        return n;
    };
    const std::string got = readUntil(fd, [&](const std::string& s) { return lines(s) >= 6; }, 10s);
    int status = 0;
    waitpid(pid, &status, 0);
    close(fd);
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(lines(got), 6u) << got;
    size_t at = 0;
    for (int n = 0; n < 6; ++n) {
        const size_t end = got.find("\r\n", at) + 2;
        const std::string line = got.substr(at, end - at);
        EXPECT_EQ(line.rfind("$SBE37,", 0), 0u) << line;
        EXPECT_TRUE(checksumOk(line)) << line;
        at = end;
    }
}

} // namespace
