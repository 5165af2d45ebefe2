// cvrecord as an operator runs it: a process on the logger's pseudo-terminal, ended by SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "archive/archive_walker.h"
#include "ports/device_lock.h"
#include "simulator.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

extern char** environ;

namespace cv {
namespace {

using namespace std::chrono_literals;

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The simulated logger streaming on a pseudo-terminal, every packet it sends kept.
struct StreamingLogger {
    explicit StreamingLogger(int64_t clockOffset = 0) : sim(options(clockOffset)) { device = sim.line().startPty(); }
    ~StreamingLogger() { sim.line().stop(); }
    Kr8SimOptions options(int64_t clockOffset) {
        Kr8SimOptions o;
        o.clockOffsetSeconds = clockOffset;
        o.streamInterval = 40ms;
        o.faults.stream.gapEvery = 9;
        o.faults.stream.duplicateEvery = 7;
        o.sentSink = [this](const sim::SentMuxPacket& p) {
            std::lock_guard<std::mutex> lock(m);
            sent.push_back(p);
        };
        return o;
    }
    size_t sentCount() {
        std::lock_guard<std::mutex> lock(m);
        return sent.size();
    }
    std::mutex m;
    std::vector<sim::SentMuxPacket> sent;
    Kr8Simulator sim;
    std::string device;
};

class Recorder {
public:
    Recorder(const test::TempDir& dir, const std::vector<std::string>& args) : m_out(dir / "out"), m_err(dir / "err") {
        const std::string program =
            (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "cvrecord").string();
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Recorder() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool started() { return waitFor([this] { return out().find("recording from") != std::string::npos; }, 10s); }
    // The exit status, or -1 when it did not end by itself in time.
    int wait(std::chrono::milliseconds deadline = 10s) {
        int status = 0;
        const bool ended = waitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, deadline);
        if (!ended) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void signal(int number) { ::kill(m_pid, number); }
    std::string out() const { return readAll(m_out); }
    std::string err() const { return readAll(m_err); }

private:
    std::filesystem::path m_out, m_err;
    pid_t m_pid = -1;
};

// The records of an archive file, or a fault.
std::string walk(const std::filesystem::path& file, size_t& records) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return "cannot open";
    ArchiveWalker walker(f, std::filesystem::file_size(file));
    ArchiveRecordInfo info;
    ArchiveWalk step;
    records = 0;
    while ((step = walker.next(info)) == ArchiveWalk::Record) ++records;
    std::fclose(f);
    return step == ArchiveWalk::End ? std::string() : walker.fault();
}

class CvrecordEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("CVHOST_LOCK_DIR", dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("CVHOST_LOCK_DIR"); }
    test::TempDir dir;
};

TEST_F(CvrecordEndToEnd, RecordsEveryRecordOnceAndEndsWholeOnSigterm) {
    StreamingLogger logger;
    Recorder recorder(dir, {"--com", "1=" + logger.device, "--logger-port", "1", "--continuous",
                            (dir / "cv.arc").string()});
    ASSERT_TRUE(recorder.started()) << recorder.err();
    logger.sim.logger().beginSampling();
    ASSERT_TRUE(waitFor([&] { return logger.sentCount() >= 80; }, 30s));
    logger.sim.logger().stopSampling();
    size_t expected = 0;
    {
        std::lock_guard<std::mutex> lock(logger.m);
        for (const sim::SentMuxPacket& p : logger.sent) expected += p.duplicate ? 0 : 1;
    }
    size_t records = 0;
    // Everything sent has arrived once the file holds every record but the repeated ones.
    EXPECT_TRUE(waitFor([&] { return walk(dir / "cv.arc", records).empty() && records >= expected; }, 10s));

    recorder.signal(SIGTERM);
    EXPECT_EQ(recorder.wait(), 0) << recorder.err();
    EXPECT_EQ(walk(dir / "cv.arc", records), "");
    EXPECT_EQ(records, expected);
    EXPECT_NE(recorder.out().find("records " + std::to_string(records) + ","), std::string::npos) << recorder.out();
}

TEST_F(CvrecordEndToEnd, TimeSyncSetsALoggerClockThatIsOff) {
    StreamingLogger logger(600);
    Recorder recorder(dir, {"--com", "1=" + logger.device, "--logger-port", "1", "--daily", (dir / "day").string(),
                            "--time-sync"});
    ASSERT_TRUE(recorder.started()) << recorder.err();
    EXPECT_TRUE(waitFor([&] { return std::abs(logger.sim.logger().clockOffset()) < 5; }, 15s))
        << logger.sim.logger().clockOffset();
    recorder.signal(SIGTERM);
    EXPECT_EQ(recorder.wait(), 0);
    EXPECT_NE(recorder.out().find(", clock sets 1"), std::string::npos) << recorder.out();
}

TEST_F(CvrecordEndToEnd, APortInUseIsRefusedWithItsOwnStatus) {
    StreamingLogger logger;
    DeviceLock window;
    ASSERT_TRUE(window.take(logger.device));
    Recorder recorder(dir, {"--com", "1=" + logger.device, "--logger-port", "1", "--continuous",
                            (dir / "cv.arc").string()});
    EXPECT_EQ(recorder.wait(), 3);
    EXPECT_EQ(recorder.err(), "cvrecord: COM1 (" + logger.device + ") is in use by another program\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "cv.arc"));
}

TEST_F(CvrecordEndToEnd, ANetworkOutputThatCannotStartEndsItBeforeAnyRecording) {
    StreamingLogger logger;
    const int busy = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(busy, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(busy, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(busy, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    Recorder recorder(dir, {"--com", "1=" + logger.device, "--logger-port", "1", "--continuous",
                            (dir / "cv.arc").string(), "--tcp", "2:1=" + port});
    EXPECT_EQ(recorder.wait(), 4);
    EXPECT_NE(recorder.err().find("2:1=" + port), std::string::npos) << recorder.err();
    ::close(busy);
}

TEST_F(CvrecordEndToEnd, ADeviceThatComesBackGoesOnInTheSameFile) {
    StreamingLogger logger;
    const std::string link = (dir / "logger-line").string();
    test::pointLink(link, logger.device);
    Recorder recorder(dir, {"--com", "1=" + link, "--logger-port", "1", "--continuous", (dir / "cv.arc").string()});
    ASSERT_TRUE(recorder.started()) << recorder.err();
    logger.sim.logger().beginSampling();
    const auto size = [&] { return std::filesystem::file_size(dir / "cv.arc"); };
    ASSERT_TRUE(waitFor([&] { return size() > 500; }, 20s));
    test::replugSimulator(logger.sim, link);
    std::this_thread::sleep_for(200ms);
    const uintmax_t beforeReturn = size();
    ASSERT_TRUE(waitFor([&] { return size() > beforeReturn + 500; }, 20s)) << recorder.out();
    logger.sim.logger().stopSampling();
    recorder.signal(SIGTERM);
    EXPECT_EQ(recorder.wait(), 0);
    size_t records = 0;
    EXPECT_EQ(walk(dir / "cv.arc", records), "");
}

} // namespace
} // namespace cv
