// Upload efficiency over a 115200-baud line: the real main window, run by its own timers in a
// Qt event loop, fetches one run from the simulated logger whose output is paced to 11520
// bytes per second (8N1). Efficiency is run-file bytes per second divided by 11520.
//
// Counters:
//   efficiency            run bytes / (time from the upload request to the last data block) / 11520
//   efficiency_operator   run bytes / (time from pressing Upload to "Upload is Complete") / 11520;
//                         includes the wait for the next 1000 ms tick and the extraction
//   line_busy             bytes the logger sent in the transfer time / (that time * 11520): how
//                         much of the line the turn-arounds leave idle
//   blocks, repeats       upload blocks sent by the logger, and repeats among them
//   gap_ms                mean time per block beyond its 1036 bytes on the line
//
// Two lines are measured. "SimThrottle" is the simulator's own pacing, a token bucket that
// lets up to 20 ms of idle line be made up later, so it hides short turn-arounds. "Uart" puts
// a relay between the simulator and the host's pseudo-terminal that moves each byte only when
// the byte before it has left, in both directions, and never makes up idle time: the host's
// tick latency and the acknowledgement's own 1 ms on the wire cost what they cost on a cable.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "app/hostmain_window.h"
#include "link/link_screen_qt.h"
#include "adapters/serial_port_qt.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "run_file_generator.h"
#include "simulator.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kLineBytesPerSecond = 11520.0;  // 115200 baud, 10 bits a byte
constexpr int kSpeed115200 = 11;
constexpr int16_t kStandby = 9;
constexpr double kBlockBytes = 1036.0;

// Answers every question with its first button and every save dialog with the bench folder.
class BenchDialogs : public cv::OperatorDialogs {
public:
    explicit BenchDialogs(std::filesystem::path file) : m_file(std::move(file)) {}
    void beep(cv::Icon) override {}
    cv::Answer ask(const std::string& caption, const std::string& text, cv::Buttons buttons, cv::Icon) override {
        boxes.push_back(caption + ": " + text);
        return buttons == cv::Buttons::YesNo || buttons == cv::Buttons::YesNoCancel ? cv::Answer::Yes : cv::Answer::Ok;
    }
    std::optional<std::string> chooseSaveFile(const cv::FileChoice&) override { return m_file.string(); }
    std::optional<std::string> chooseOpenFile(const cv::FileChoice&) override { return {}; }
    std::vector<std::string> boxes;

private:
    std::filesystem::path m_file;
};


// A serial cable at a fixed byte rate between the simulator (one end of a socket pair) and a
// pseudo-terminal the host opens. Each direction sends a byte only once the previous one has
// left; a line with nothing to send stays idle and earns no credit.
class UartRelay {
public:
    explicit UartRelay(double bytesPerSecond) : m_byteTime(1.0 / bytesPerSecond) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) throw std::runtime_error("socketpair");
        m_loggerSide = pair[0];
        m_simSide = pair[1];
        int slave = -1;
        if (openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        char name[256] = {};
        ttyname_r(slave, name, sizeof name);
        m_slavePath = name;
        m_slaveKeep = slave;  // a master without an open slave reads EIO until the host opens it
        for (int fd : {m_loggerSide, m_master}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { run(); });
    }
    ~UartRelay() {
        m_stop = true;
        m_thread.join();
        for (int fd : {m_loggerSide, m_master, m_slaveKeep}) ::close(fd);
        // m_simSide belongs to the simulator once it is handed over.
    }
    int takeSimulatorEnd() { return std::exchange(m_simSide, -1); }
    const std::string& hostDevice() const { return m_slavePath; }
    uint64_t bytesToHost() const { return m_toHost; }

private:
    struct Direction {
        std::deque<uint8_t> queue;
        double next = 0;  // when the line is free for the next byte, in seconds
    };

    double now() const { return std::chrono::duration<double>(Clock::now() - m_start).count(); }

    static void take(int fd, Direction& d) {
        uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) return;
            d.queue.insert(d.queue.end(), buffer, buffer + n);
        }
    }

    // Writes the bytes whose time on the wire has ended; returns how many.
    size_t pace(Direction& d, int fd, bool socket, double t) {
        if (d.queue.empty()) {
            d.next = std::max(d.next, t);
            return 0;
        }
        uint8_t out[4096];
        size_t n = 0;
        while (n < d.queue.size() && n < sizeof out && d.next + m_byteTime <= t) {
            out[n] = d.queue[n];
            d.next += m_byteTime;
            ++n;
        }
        if (n == 0) return 0;
        size_t done = 0;
        while (done < n) {
            // A simulator that has stopped must not end the program with SIGPIPE.
            const ssize_t w = socket ? ::send(fd, out + done, n - done, MSG_NOSIGNAL) : ::write(fd, out + done, n - done);
            if (w <= 0) break;  // a full pseudo-terminal or a closed end: the rest is lost like an overrun
            done += size_t(w);
        }
        d.queue.erase(d.queue.begin(), d.queue.begin() + long(n));
        return n;
    }

    void run() {
        Direction toHost, toLogger;
        toHost.next = toLogger.next = now();
        while (!m_stop) {
            pollfd fds[2] = {{m_loggerSide, POLLIN, 0}, {m_master, POLLIN, 0}};
            ::poll(fds, 2, 1);
            if (fds[0].revents & POLLIN) take(m_loggerSide, toHost);
            if (fds[1].revents & POLLIN) take(m_master, toLogger);
            const double t = now();
            m_toHost += pace(toHost, m_master, false, t);
            pace(toLogger, m_loggerSide, true, t);
        }
    }

    double m_byteTime;
    int m_loggerSide = -1, m_simSide = -1, m_master = -1, m_slaveKeep = -1;
    std::string m_slavePath;
    Clock::time_point m_start = Clock::now();
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_toHost{0};
    std::thread m_thread;
};

// Runs the event loop until `done` or the deadline; `done` is looked at after every batch of
// events, and the host's state changes only inside event handlers, so nothing is missed.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    QEventLoop loop;
    const auto end = Clock::now() + deadline;
    while (!done()) {
        if (Clock::now() >= end) return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct UploadFigures {
    double runBytes = 0;
    double transferSeconds = 0;
    double operatorSeconds = 0;
    uint64_t lineBytes = 0;
    uint64_t blocks = 0;
    uint64_t repeats = 0;
};

enum class Line { SimThrottle, Uart };

// One whole upload of a run of `size` bytes; an error text instead when it did not work.
std::optional<UploadFigures> uploadOnce(size_t size, Line line, std::string& error) {
    cv::test::TempDir dir;
    cv::Kr8SimOptions options;
    if (line == Line::SimThrottle) options.faults.throttleBytesPerSecond = uint32_t(kLineBytesPerSecond);
    std::optional<UartRelay> relay;
    if (line == Line::Uart) relay.emplace(kLineBytesPerSecond);
    cv::Kr8Simulator sim(options);
    cv::sim::RunFileOptions runOptions;
    runOptions.seed = 99;
    runOptions.targetSize = size;
    runOptions.runNumber = 1;
    const std::vector<uint8_t> run = cv::sim::RunFileGenerator(runOptions).bytes();
    sim.memory().addRun(1, run);

    cv::PortMap map;
    if (relay) {
        sim.line().startFd(relay->takeSimulatorEnd());
        map.set(1, relay->hostDevice());
    } else {
        map.set(1, sim.line().startPty());
    }
    cv::SystemClock clock;
    BenchDialogs dialogs(dir.path() / "run.001");
    cv::QtSerialFactory serial(map);
    cv::TForm1 form(cv::HostEnvironment{clock, dialogs, serial, &map});
    form.linkScreen()->selectLoggerPort(1, kSpeed115200);
    form.startTimers();
    form.Tabs->setCurrentWidget(form.Tabs->findChild<QWidget*>("TSUpload"));
    auto* profiles = form.findChild<QListWidget*>("LBProfiles");
    auto* uploadRun = form.findChild<QLabel*>("UpLoadRun");
    cv::UploadSession& session = form.uploadScreen()->session();

    auto fail = [&](const char* what) {
        error = what;
        sim.line().stop();
        return std::nullopt;
    };
    if (!runUntil([&] { return form.facts().state == kStandby; }, 15s)) return fail("no Standby status");
    form.findChild<QPushButton*>("BTGetDirectory")->click();
    if (!runUntil([&] { return profiles->count() == 1; }, 15s)) return fail("no directory row");
    profiles->item(0)->setSelected(true);
    form.findChild<cv::RadioGroup*>("ExtractFilesRG")->item(0)->click();

    const Clock::time_point pressed = Clock::now();
    form.findChild<QPushButton*>("BTUpload")->click();
    if (!runUntil([&] { return session.transferRunning(); }, 5s)) return fail("the upload never started");
    const Clock::time_point requested = Clock::now();
    const cv::Kr8SimStats before = sim.probe().stats();
    const uint64_t relayedBefore = relay ? relay->bytesToHost() : 0;
    const int64_t total = int64_t(run.size());
    if (!runUntil([&] { return session.bytesReceived() >= total; }, 300s)) return fail("the run never arrived whole");
    const Clock::time_point lastBlock = Clock::now();
    const cv::Kr8SimStats after = sim.probe().stats();
    const uint64_t relayedAfter = relay ? relay->bytesToHost() : 0;
    if (!runUntil([&] { return uploadRun->text() == "Upload is Complete"; }, 30s)) return fail("no completion shown");
    const Clock::time_point complete = Clock::now();
    sim.line().stop();

    std::ifstream in(dir.path() / "run.001", std::ios::binary);
    const std::vector<uint8_t> got{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (got != run) return fail("run.001 differs from the logger's run");

    UploadFigures f;
    f.runBytes = double(run.size());
    f.transferSeconds = seconds(lastBlock - requested);
    f.operatorSeconds = seconds(complete - pressed);
    f.lineBytes = relay ? relayedAfter - relayedBefore : after.bytesSent - before.bytesSent;
    f.blocks = after.uploadBlocksSent - before.uploadBlocksSent;
    f.repeats = after.uploadBlocksRepeated - before.uploadBlocksRepeated;
    return f;
}

void uploadEfficiency(benchmark::State& state, Line line) {
    const size_t size = size_t(state.range(0));
    double bytes = 0, transfer = 0, operatorTime = 0, lineBytes = 0, blocks = 0, repeats = 0;
    for (auto _ : state) {
        std::string error;
        const std::optional<UploadFigures> f = uploadOnce(size, line, error);
        if (!f) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.SetIterationTime(f->transferSeconds);
        bytes += f->runBytes;
        transfer += f->transferSeconds;
        operatorTime += f->operatorSeconds;
        lineBytes += double(f->lineBytes);
        blocks += double(f->blocks);
        repeats += double(f->repeats);
    }
    const double runBytes = bytes;
    state.counters["run_bytes"] = runBytes / double(state.iterations());
    state.counters["efficiency"] = runBytes / transfer / kLineBytesPerSecond;
    state.counters["efficiency_operator"] = runBytes / operatorTime / kLineBytesPerSecond;
    state.counters["line_busy"] = lineBytes / (transfer * kLineBytesPerSecond);
    state.counters["blocks"] = blocks;
    state.counters["repeats"] = repeats;
    state.counters["gap_ms"] = blocks > 0 ? (transfer - blocks * kBlockBytes / kLineBytesPerSecond) / blocks * 1000.0 : 0;
    state.SetBytesProcessed(int64_t(runBytes));
}
void BM_UploadEfficiency115200_SimThrottle(benchmark::State& state) { uploadEfficiency(state, Line::SimThrottle); }
void BM_UploadEfficiency115200_Uart(benchmark::State& state) { uploadEfficiency(state, Line::Uart); }
BENCHMARK(BM_UploadEfficiency115200_SimThrottle)->Arg(160 * 1024)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_UploadEfficiency115200_Uart)->Arg(160 * 1024)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
