#pragma once
// What every part of the simulated logger shares: its options, the faults a test sets, the
// counters, the one random sequence (seeded, so a session can be repeated) and the one lock that
// guards all of its state. Members marked "under the lock" are touched only with mutex() held.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "host_input.h"
#include "live_stream.h"
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

namespace sim {

using SimClock = std::chrono::steady_clock;

class SimCore {
public:
    explicit SimCore(Kr8SimOptions options);
    SimCore(const SimCore&) = delete;
    SimCore& operator=(const SimCore&) = delete;

    const Kr8SimOptions options;
    Kr8SimFaults faults;  // under the lock
    Kr8SimStats stats;    // under the lock
    std::mt19937 rng;     // under the lock

    // Under the lock: true with the given probability, from the one random sequence.
    bool chance(double fraction);

    std::mutex& mutex() const { return m_mutex; }
    // A field read or written under the lock, for the many one-field accessors.
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

    // Tells the waits that something changed; called without the lock held or with it, never
    // from inside a wait's predicate.
    void notifyEvent();
    // Re-evaluates pred after every change the simulator makes; pred may call the getters.
    bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::mutex m_eventMutex;
    std::condition_variable m_eventCv;
    uint64_t m_eventSeq = 0;
};

} // namespace sim
} // namespace cv
