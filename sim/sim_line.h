#pragma once
// The simulated logger's end of the serial line: a pseudo-terminal, a device or a descriptor
// served by a thread of its own, the bytes the host writes cut into commands, blocks and texts,
// and the bytes the logger sends queued and paced to the line. The line knows nothing of the
// logger; it hands what it hears to a LineClient and gives it a tick.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "host_input.h"
#include "line_throttle.h"
#include "sim_core.h"

namespace cv::sim {

// Replies go out whatever the backlog; periodic packets wait no longer than a bounded backlog.
enum class Traffic { Reply, Periodic };

// The host port's line as the setup names it; a speed the logger does not know runs at 9600 8N1.
struct LineSetting {
    int32_t baud = 9600;
    int bits = 8;
    int parity = 0;
};
LineSetting hostLineOf(const SetupRecord& setup);

// The logger on the line. Every call but tickEnded comes with the core's lock held.
class LineClient {
public:
    virtual ~LineClient() = default;
    virtual LineSetting hostLineLocked() const = 0;
    virtual void lineStartedLocked(SimClock::time_point now) = 0;
    virtual void heardLocked(const HostInput& input, SimClock::time_point now) = 0;
    virtual void tickLocked(SimClock::time_point now) = 0;
    virtual void tickEndedLocked() = 0;
    virtual void tickEnded() = 0;  // without the lock: hand-overs to callbacks
};

class SimLine {
public:
    SimLine(SimCore& core, LineClient& client) : m_core(core), m_client(client) {}
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    // Opens a fresh pseudo-terminal in raw mode and starts; returns the slave device path that
    // the host opens. Throws std::runtime_error when no pseudo-terminal can be had.
    std::string startPty();
    // Runs on an existing serial device (raw mode, the host port's speed). Throws on failure.
    void startDevice(const std::string& path);
    // Runs on an open descriptor, which the simulator then owns.
    void startFd(int fd);
    void stop();
    bool isRunning() const;
    std::string devicePath() const;
    bool isConnected() const;  // a host holds the line open (always true on a plain device)
    bool waitForConnection(std::chrono::milliseconds timeout);
    // Sends these bytes once, as they are, as line noise or a firmware slip would.
    void injectRaw(const std::vector<uint8_t>& bytes);

    // Under the lock, for the logger: false when the bytes were dropped (silent logger, nobody
    // on the line, periodic traffic over a full backlog).
    bool queue(const uint8_t* bytes, size_t count, Traffic traffic);
    bool garbling() const;  // under the lock: what goes out is noise, what comes in is not understood
    uint64_t queuedTotal() const { return m_queuedTotal; }    // under the lock
    uint64_t writtenTotal() const { return m_writtenTotal; }  // under the lock
    // Wakes the thread so bytes queued from outside it leave at once; without the lock.
    void wake();

private:
    void startThread(int fd, bool isPty, const std::string& path);
    void threadMain();
    void readInput(SimClock::time_point now);
    // Everything below runs with the lock held.
    void onConnected();
    void onDisconnected(SimClock::time_point now);
    void lineTick(SimClock::time_point now);
    void checkLineSpeed();
    void flushOutput(SimClock::time_point now);

    SimCore& m_core;
    LineClient& m_client;

    HostInputParser m_parser;
    LineThrottle m_throttle;
    std::vector<uint8_t> m_out;
    size_t m_outPos = 0;
    uint64_t m_queuedTotal = 0;
    uint64_t m_writtenTotal = 0;
    uint8_t m_lastGarbage = 0;
    bool m_lineMismatch = false;
    SimClock::time_point m_nextLineCheck{};
    int m_fd = -1;
    bool m_isPty = false;
    std::string m_path;
    bool m_connected = false;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
};

} // namespace cv::sim
