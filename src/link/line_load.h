#pragma once
// Whether the logger port's line carries all it can. A logger that has more to say than its
// host port can carry queues the rest: everything behind the queue, status records included,
// arrives late, and what does not fit the logger's queue is lost as gaps. The host cannot see
// the logger's queue, so it watches what it can: the bytes arriving against what the line can
// carry, and the logger clock in each status against the PC's.
//
// How late the data is: the line is a queue, so a status record waits as long as the data
// around it. The logger clock it carries, less the PC clock when it arrives, is the clock
// offset plus the wait. Measured while the line is free the wait is nil, so that offset is the
// clock's own; on a full line the growth beyond it is the wait. This holds whatever the time
// stamps in the mux records count, and it needs no knowledge of the logger's queue size.
#include <cstdint>
#include <optional>
#include <string>

namespace cv {

// Bytes a second the line carries at a logger port speed choice (start bit, data bits, parity,
// stop bit: 10 bits for both 8N1 and 7E1); 0 for no speed.
uint32_t lineBytesPerSecond(int speedChoice);

class LineLoad {
public:
    static constexpr uint32_t kWindowMs = 5000;  // the received rate is averaged over this
    static constexpr uint32_t kHoldMs = 10000;   // a busy line counts as full after this long
    static constexpr int kBusyPercent = 90;      // "near" the line's capacity

    // Once a second: the receiver's byte total (it may wrap), a monotonic millisecond clock and
    // the line's port and speed choice. A new port or speed starts afresh. An upload fills the
    // line on purpose (`uploading`: a block arrived this second), so it counts as no load.
    void sample(uint32_t bytesReceived, uint32_t nowMs, int comNumber, int speedChoice, bool uploading = false);

    // The received rate over the window, in percent of what the line carries (0 without a speed).
    int percent() const { return m_percent; }
    // The rate has been near capacity this second: a status arriving now may have waited.
    bool busy() const { return m_busy; }
    // Near capacity for the hold time: the line is full, not just carrying a burst.
    bool full() const { return m_full; }

    // A status arrived saying the logger clock stands `offset` seconds ahead of the PC (negative:
    // behind). On a free line it is the clock's true offset; on a busy line it tells the wait.
    void noteStatusOffset(int64_t offset);
    // A set-time command went out: the offset measured so far no longer holds.
    void clockSet() { m_clockOffset.reset(); }
    // The clock's own offset, last measured on a free line.
    std::optional<int64_t> clockOffset() const { return m_clockOffset; }
    // How many seconds late the data arrives, while the line is full and a free-line offset is known.
    std::optional<int64_t> lateSeconds() const;

private:
    void restart();

    static constexpr int kSamples = 8;  // a window's worth of one-second samples, with room
    struct Sample {
        uint32_t ms = 0;
        uint32_t bytes = 0;
    };
    Sample m_samples[kSamples]{};
    int m_count = 0;  // samples held, the newest at m_next - 1
    int m_next = 0;
    int m_comNumber = -1;
    int m_speedChoice = -1;
    int m_percent = 0;
    bool m_busy = false;
    bool m_full = false;
    uint32_t m_busySinceMs = 0;
    std::optional<int64_t> m_clockOffset;
    std::optional<int64_t> m_lastOffset;  // the latest status's, free line or not
};

// "Line full: data about 18 s late", "Line full: data late" when the wait is unknown; nothing
// while the line is not full.
std::string lineFullText(const LineLoad& load);

} // namespace cv
