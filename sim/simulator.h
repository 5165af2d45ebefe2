#pragma once
// A KR-8 logger on the far end of a serial line: it answers the host's commands and blocks,
// reports its status once a second, keeps a setup, a hardware configuration, a calibration and a
// clock, serves its stored runs block by block with acknowledgements, and streams mux packets
// while it samples. It runs on a thread of its own on the master side of a pseudo-terminal (or
// on any serial device), so the host under test talks to it exactly as to a logger.
//
// Everything public is thread-safe. The log of what the host sent and the counters let tests
// observe the logger's side; the wait functions block with a deadline on those observations.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host_input.h"
#include "line_throttle.h"
#include "live_stream.h"
#include "run_recording.h"
#include "run_store.h"
#include "sim_records.h"

namespace cv {

// Ways the simulated logger or its line misbehave, so the host's recovery can be proved.
struct Kr8SimFaults {
    double corruptFraction = 0.0;         // upload blocks sent with a damaged byte (bad checksum)
    double lostAckFraction = 0.0;         // acknowledgements of data blocks ignored: the block repeats
    int withheldFirstBlocks = 0;          // the next N upload requests bring no block at all
    uint32_t throttleBytesPerSecond = 0;  // line speed in bytes per second; 0 = as fast as the line takes
    bool baudMismatch = false;            // the line runs at another speed: nothing sent ever frames,
                                          // nothing received is understood
    bool silent = false;                  // the logger never sends (it still hears and obeys)
    bool falseMuxHeader = false;          // once, after the first status the host was sent, a mux
                                          // header declaring 4000 payload bytes that never follow
    sim::StreamFaults stream;             // gaps, duplicates, empty records and a stray unit in the
                                          // live stream
};

struct Kr8SimOptions {
    int16_t deviceType = 2;  // 1 bq5Plus, 2 KR-8, 3 External bq5Plus
    int16_t loggerId = 2;
    uint32_t firmwareWord = sim::kDefaultFirmwareWord;  // 7.06
    int16_t state = sim::state::kStandby;
    int64_t clockOffsetSeconds = 0;  // logger clock minus the PC's local wall-clock time
    int16_t runStopSwitch = 2;       // RUN
    Kr8SimFaults faults;
    // Compare the line settings the host put on the pseudo-terminal with the logger's host port
    // and send only garbage while they differ, as a real line at the wrong speed would.
    bool checkLineSpeed = false;
    bool statusWhileSleeping = false;  // a sleeping logger is normally quiet
    uint32_t seed = 1;
    std::chrono::milliseconds statusInterval{1000};
    // Time between the mux packets of one unit; 0 follows the setup's analog rate.
    std::chrono::milliseconds streamInterval{0};
    // Sender units streamed while sampling: 0 the time unit, 1..4 loggers sharing the line.
    // Empty: the logger alone, under its logger ID.
    std::vector<int> streamUnits;
    std::chrono::milliseconds ackTimeout{1000};  // an unacknowledged upload block is repeated after this
    int maxBlockRepeats = 10;                    // then the upload is given up
    std::chrono::milliseconds clearMemoryTime{1500};
    // One line for everything received; called from the simulator's thread, never under its lock.
    std::function<void(const std::string&)> logSink;
    // Every mux packet as it goes out; called from the simulator's thread, never under its lock.
    std::function<void(const sim::SentMuxPacket&)> sentSink;
    // Most items the received and sent logs keep (the oldest go first); 0 keeps everything, as
    // tests need.
    size_t logLimit = 0;
};

// What the host sent: a command packet, a typed block or raw text.
using Kr8SimReceived = sim::HostInput;

std::string commandName(uint16_t code);
std::string describe(const Kr8SimReceived& item);

struct Kr8SimStats {
    uint64_t connections = 0;          // times a host opened the line
    uint64_t bytesReceived = 0;
    uint64_t bytesIgnored = 0;         // received while the line speed does not match
    uint64_t bytesSent = 0;
    uint64_t bytesDropped = 0;         // not sent: silent, no host on the line, or backlog
    uint64_t garbageBytesSent = 0;
    uint64_t statusPeriods = 0;        // status intervals that passed, sent or not
    uint64_t statusSent = 0;
    uint64_t muxSent = 0;
    uint64_t directoryEntriesSent = 0;
    uint64_t uploadBlocksSent = 0;     // repeats included
    uint64_t uploadBlocksRepeated = 0;
    uint64_t corruptedBlocks = 0;
    uint64_t acksReceived = 0;
    uint64_t acksIgnored = 0;          // dropped on purpose by the lost-ack fault
    uint64_t staleAcks = 0;            // for a block that is not the one waiting
    uint64_t uploadsCompleted = 0;
    uint64_t uploadsCancelled = 0;
    uint64_t uploadsAbandoned = 0;
    uint64_t firstBlocksWithheld = 0;
};

class Kr8Simulator {
public:
    using Clock = std::chrono::steady_clock;

    explicit Kr8Simulator(Kr8SimOptions options = {});
    ~Kr8Simulator();
    Kr8Simulator(const Kr8Simulator&) = delete;
    Kr8Simulator& operator=(const Kr8Simulator&) = delete;

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

    // State and identity.
    int16_t state() const;
    void setState(int16_t state);
    int16_t deviceType() const;
    void setDeviceType(int16_t type);
    int16_t loggerId() const;
    void setLoggerId(int16_t id);
    uint32_t firmwareWord() const;
    void setFirmwareWord(uint32_t word);
    int64_t clockOffset() const;
    void setClockOffset(int64_t seconds);
    int64_t loggerClock() const;  // local wall-clock seconds since 1970 as the logger counts them
    int16_t runStopSwitch() const;
    void setRunStopSwitch(int16_t value);
    int16_t supplyMillivolts() const;
    void setSupplyMillivolts(int16_t mv);
    void setMemory(int32_t totalBytes, std::optional<int32_t> freeBytes = std::nullopt);
    int32_t totalMemory() const;
    int32_t freeMemory() const;
    void setBuildMasks(std::optional<sim::BuildMasks> masks);  // nullopt: as the device type builds
    bool isRs422() const;
    std::optional<int64_t> wakeTime() const;

    Kr8SimFaults faults() const;
    void setFaults(const Kr8SimFaults& faults);

    // Records the logger holds.
    sim::SetupRecord setup() const;
    void setSetup(const sim::SetupRecord& setup);
    sim::HardwareRecord hardware() const;
    void setHardware(const sim::HardwareRecord& hardware);
    sim::AnalogRecord analog() const;
    void setAnalog(const sim::AnalogRecord& analog);

    // Run store.
    void addRun(int16_t runNumber, std::vector<uint8_t> bytes);
    bool addRunFile(int16_t runNumber, const std::filesystem::path& path, std::string* error = nullptr);
    std::vector<int16_t> generateRuns(int count, uint32_t seed);  // returns the new run numbers
    std::vector<int16_t> runNumbers() const;
    std::optional<std::vector<uint8_t>> runBytes(int16_t runNumber) const;
    std::optional<sim::RunInfo> runInfo(int16_t runNumber) const;
    void clearRuns();

    // Actions as the logger's own buttons or firmware would take them.
    void beginSampling();
    void stopSampling();
    void sendFlashErrorCount(uint16_t count);
    // Sends these bytes once, as they are, as line noise or a firmware slip would.
    void injectRaw(const std::vector<uint8_t>& bytes);

    // Mux packets that went out while sampling, oldest first, duplicates included; bytes lost to
    // a full backlog, a silent or garbling line or an absent host are not in it.
    std::vector<sim::SentMuxPacket> sentMuxPackets() const;
    void clearSentMuxPackets();

    // What the host sent, oldest first.
    std::vector<Kr8SimReceived> received() const;
    std::vector<Kr8SimReceived> receivedCommands(std::optional<uint16_t> code = std::nullopt) const;
    std::vector<Kr8SimReceived> receivedBlocks(uint8_t type) const;
    std::vector<std::string> receivedTexts() const;
    std::vector<sim::SetupRecord> receivedSetups() const;  // every checksum-valid setup block
    void clearReceived();
    Kr8SimStats stats() const;

    // Waits, each up to its timeout. The command and block waits return the nth (1-based) item of
    // that code or type in the log.
    std::optional<Kr8SimReceived> waitForCommand(uint16_t code, std::chrono::milliseconds timeout, size_t nth = 1);
    std::optional<Kr8SimReceived> waitForBlock(uint8_t type, std::chrono::milliseconds timeout, size_t nth = 1);
    bool waitForText(const std::string& part, std::chrono::milliseconds timeout);
    bool waitForState(int16_t state, std::chrono::milliseconds timeout);
    bool waitForConnection(std::chrono::milliseconds timeout);
    // Re-evaluates pred after every change the simulator makes; pred may call the getters.
    bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

private:
    struct Sampling {
        sim::RunRecorder recorder;
        Clock::time_point startedAt;
        std::array<size_t, 9> lastInterval{};  // per section: bytes a second, binary ports bytes a record
    };
    struct Upload {
        bool active = false;
        int16_t runNumber = 0;
        std::vector<uint8_t> bytes;
        size_t offset = 0;
        size_t count = 0;
        uint16_t blockNumber = 0;
        int repeats = 0;
        bool flushed = false;
        uint64_t marker = 0;
        Clock::time_point sentAt{};
        int16_t stateBefore = sim::state::kStandby;
    };
    enum class Traffic { Reply, Periodic };

    void startThread(int fd, bool isPty, const std::string& path);
    void threadMain();
    void readInput(Clock::time_point now);
    void onConnected();
    void onDisconnected(Clock::time_point now);

    // Everything below runs with m_mutex held.
    void handleInput(const Kr8SimReceived& in, Clock::time_point now);
    void handleCommand(const Kr8SimReceived& in, Clock::time_point now);
    void handleBlock(const Kr8SimReceived& in, Clock::time_point now);
    void handleText(const std::string& text, Clock::time_point now);
    void periodic(Clock::time_point now);
    void checkLineSpeed();
    void sendStatus();
    std::chrono::milliseconds streamIntervalLocked() const;
    void streamPeriodicLocked(Clock::time_point now);
    void sendMuxInterval(Clock::time_point now, std::chrono::milliseconds interval);
    void uploadPeriodicLocked(Clock::time_point now);
    void setLoggerClockLocked(int64_t seconds);
    void wakeIfDueLocked();
    void sendDirectory();
    bool queue(const uint8_t* bytes, size_t count, Traffic traffic);
    void flushOutput(Clock::time_point now);
    void beginSamplingLocked(Clock::time_point now);
    void endSamplingLocked(bool keepRun);
    void wakeUpLocked();
    void startUpload(int16_t runNumber);
    void sendUploadBlock(bool repeat);
    void handleAck(const Kr8SimReceived& in);
    void finishUpload();
    sim::StatusFields statusFieldsLocked();
    sim::BuildMasks masksLocked() const;
    int64_t loggerClockLocked() const;
    int32_t freeMemoryLocked() const;
    bool garblingLocked() const;
    bool chance(double fraction);
    void notifyEvent();

    Kr8SimOptions m_options;

    mutable std::mutex m_mutex;
    // A field read or written under the mutex, for the many one-field accessors.
    template <class T>
    T locked(const T& field) const {
        std::lock_guard lock(m_mutex);
        return field;
    }
    template <class T, class V>
    void setLocked(T& field, V value) {
        std::lock_guard lock(m_mutex);
        field = T(value);
    }
    int16_t m_state;
    int16_t m_deviceType;
    int16_t m_loggerId;
    uint32_t m_firmware;
    int64_t m_clockOffset;
    int16_t m_runStopSwitch;
    int16_t m_supplyMv = 12150;
    int16_t m_startMv = 0;
    int16_t m_endMv = 0;
    int32_t m_totalMemory = 32 * 1024 * 1024;
    std::optional<int32_t> m_freeOverride;
    std::optional<sim::BuildMasks> m_buildMasks;
    bool m_rs422 = false;
    int16_t m_runNumber = -1;
    std::optional<int64_t> m_wakeTime;
    Clock::time_point m_clearMemoryUntil{};
    Kr8SimFaults m_faults;
    sim::SetupRecord m_setup;
    sim::HardwareRecord m_hardware;
    sim::AnalogRecord m_analog;
    sim::RunStore m_store;
    std::optional<Sampling> m_sampling;
    std::array<int32_t, 9> m_lastRecorded{};  // sizes of the last run, shown after it ended
    int32_t m_lastRunSize = 0;
    sim::LiveStream m_stream;
    std::vector<sim::SentMuxPacket> m_sent;
    std::vector<sim::SentMuxPacket> m_pendingSent;
    Upload m_upload;
    uint16_t m_nextBlockNumber = 1;
    std::optional<sim::PortTestRequest> m_portTest;
    uint32_t m_portTestLines = 0;
    bool m_lineMismatch = false;
    bool m_falseMuxHeaderSent = false;
    std::vector<Kr8SimReceived> m_log;
    std::vector<sim::SetupRecord> m_setups;
    std::vector<std::string> m_pendingLogLines;
    Kr8SimStats m_stats;
    std::mt19937 m_rng;

    // Line and thread.
    sim::HostInputParser m_parser;
    sim::LineThrottle m_throttle;
    std::vector<uint8_t> m_out;
    size_t m_outPos = 0;
    uint64_t m_queuedTotal = 0;
    uint64_t m_writtenTotal = 0;
    uint8_t m_lastGarbage = 0;
    Clock::time_point m_nextStatus{};
    Clock::time_point m_nextStream{};
    Clock::time_point m_nextPortTestLine{};
    Clock::time_point m_nextLineCheck{};
    int m_fd = -1;
    bool m_isPty = false;
    std::string m_path;
    bool m_connected = false;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};

    std::mutex m_eventMutex;
    std::condition_variable m_eventCv;
    uint64_t m_eventSeq = 0;
};

} // namespace cv
