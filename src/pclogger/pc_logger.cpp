#include "pclogger/pc_logger.h"

#include <algorithm>
#include <cstring>

#include "pclogger/annotation_queue.h"
#include "base/bytes.h"
#include "base/text_format.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "ports/host_clock.h"

namespace cv::pclogger {

static_assert(kPayloadLimit == kMaxMuxPayload, "every PC logger record must fit the receive buffer for replay");

namespace {
// Indexed by position 2..19.
constexpr std::array<int, 20> kUpward = {0, 1, 2, 3, 4, 5, 6, 8, 8, 10, 10, 12, 12, 16, 16, 16, 16, 20, 20, 20};
constexpr std::array<int, 20> kDownward = {0, 1, 2, 3, 4, 5, 6, 6, 8, 8, 10, 10, 12, 12, 12, 12, 12, 16, 16, 16};
// Reads per line and tick: the port's own buffer is bounded, a device that never runs dry is not.
constexpr int kReadsPerTick = 64;
constexpr size_t kScratchBytes = 4096;
} // namespace

int rateForPosition(int position, int previousPosition) {
    const int p = std::clamp(position, 1, 20);
    if (p == 1 || p == 20) return p;
    return p > previousPosition ? kUpward[size_t(p)] : kDownward[size_t(p)];
}

std::string rateText(int rate) { return format("Deck Rate: %2d Hz", rate); }
std::string intervalText(int interval) { return format("Deck Interval: %4ld ms", long(interval)); }

std::string trafficText(int line, int function, unsigned bytes, unsigned dropped) {
    std::string text;
    if (function == kMeterInput) text = format("Port %d:  In  %4d", line, int(bytes));
    else if (function == kLoggerOutput) text = format("Port %d:  Out %4d", line, int(bytes));
    else return format("Port %d:", line);
    if (dropped > 0) text += format("  dropped %u bytes", dropped);
    return text;
}

std::array<size_t, kLines> fairShares(const std::array<size_t, kLines>& waiting, size_t room) {
    std::array<size_t, kLines> share{};
    // Each pass either satisfies a line or spends the room, so there are at most kLines + 1.
    for (;;) {
        size_t hungry = 0;
        for (size_t k = 0; k < share.size(); ++k) hungry += share[k] < waiting[k] ? 1 : 0;
        if (hungry == 0 || room == 0) break;
        const size_t each = std::max<size_t>(room / hungry, 1);
        for (size_t k = 0; k < share.size() && room > 0; ++k) {
            if (share[k] >= waiting[k]) continue;
            const size_t n = std::min({each, waiting[k] - share[k], room});
            share[k] += n;
            room -= n;
        }
    }
    return share;
}

ElapsedClock::ElapsedClock(HostClock& clock) : m_clock(clock), m_last(clock.elapsedMs()) {}

int64_t ElapsedClock::elapsedMs() {
    const uint32_t now = m_clock.elapsedMs();
    m_elapsed += uint32_t(now - m_last);
    m_last = now;
    return m_elapsed;
}

std::string timeStampText(HostClock& clock) {
    const std::tm t = clock.localTime(clock.now());
    return format("%02d/%02d/%02d%c%02d:%02d:%02d.%03d", t.tm_mon + 1, t.tm_mday, t.tm_year % 100, '\t', t.tm_hour,
                  t.tm_min, t.tm_sec, clock.hundredths() * 10);
}

PcLogger::PcLogger(HostClock& clock, PortSlotTable& ports) : m_elapsed(clock), m_ports(ports) { reset(true); }

void PcLogger::setActive(const Table& table) {
    m_active = table;
    m_backlogFill.fill(0);
}

void PcLogger::takeInput() {
    uint8_t scratch[kScratchBytes];
    for (int k = 0; k < kLines; ++k) {
        const int function = m_active[size_t(k)].function;
        if (function != kMeterInput && function != kLoggerOutput) continue;
        uint8_t* backlog = m_backlog.data() + size_t(k) * kBacklogCapacity;
        size_t& fill = m_backlogFill[size_t(k)];
        for (int pass = 0; pass < kReadsPerTick; ++pass) {
            // A meter input's backlog takes what it has room for; the rest is dropped, and
            // counted, here rather than left to pile up in the port.
            const bool keep = function == kMeterInput && fill < kBacklogCapacity;
            const size_t n = keep ? m_ports.readPort(k + 1, backlog + fill, kBacklogCapacity - fill)
                                  : m_ports.readPort(k + 1, scratch, sizeof scratch);
            if (n == 0) break;
            if (keep) fill += n;
            else if (function == kMeterInput) m_dropped[size_t(k)] += unsigned(n);
            else m_discarded[size_t(k)] += n;
        }
    }
}

void PcLogger::reset(bool newSequence) {
    m_start = m_elapsed.elapsedMs();
    m_sections.fill(0);
    if (newSequence) m_recordSequence = m_sequence++;
    m_payload = 0;
}

bool PcLogger::tick(bool pcTime, AnnotationQueue* annotations, const HandOn& handOn) {
    takeInput();
    const int64_t due = m_start + m_interval;
    if (m_elapsed.elapsedMs() < due) return false;
    // The next collection starts where this one was due, not where the tick happened to land:
    // ticks come a few milliseconds late, and restarting from them would lose records on
    // every interval (19.8 a second at 20 Hz). After a stall of a whole interval or more the
    // schedule starts afresh rather than catching up in a burst.
    const auto restart = [&](bool newSequence) {
        reset(newSequence);
        if (m_start - due < m_interval) m_start = due;
    };
    const std::string stamp = m_elapsed.timeStampText();
    const bool remark = annotations && annotations->pending();
    const bool text = remark || pcTime;
    // The text section and its line end are known before the ports are read, so the reads
    // leave room for them and nothing lands past the payload area.
    const std::string section9 = remark ? annotations->take() : pcTime ? stamp : std::string();
    const size_t reserved = text ? std::min(section9.size() + 2, kPayloadLimit) : 0;

    uint8_t* payload = m_record.data() + mux::kHeaderLength;
    std::array<size_t, kLines> waiting{};
    for (size_t k = 0; k < waiting.size(); ++k)
        if (m_active[k].function == kMeterInput) waiting[k] = m_backlogFill[k];
    const std::array<size_t, kLines> shares = fairShares(waiting, kPayloadLimit - reserved - m_payload);
    for (int k = 0; k < kLines; ++k) {
        if (m_active[size_t(k)].function != kMeterInput) continue;
        const size_t n = shares[size_t(k)];
        uint8_t* backlog = m_backlog.data() + size_t(k) * kBacklogCapacity;
        size_t& fill = m_backlogFill[size_t(k)];
        std::memcpy(payload + m_payload, backlog, n);
        std::memmove(backlog, backlog + n, fill - n);
        fill -= n;
        m_sections[size_t(k)] = uint16_t(n);
        m_payload += n;
        m_received[size_t(k)] += unsigned(n);
    }
    if (text) {
        const size_t n = reserved - 2;
        std::memcpy(payload + m_payload, section9.data(), n);
        payload[m_payload + n] = '\r';
        payload[m_payload + n + 1] = '\n';
        m_sections[8] = uint16_t(reserved);
        m_payload += reserved;
    }
    std::memcpy(payload + m_payload, mux::kHostTrailer.data(), mux::kTrailerLength);
    std::memcpy(payload + kPayloadCapacity, mux::kHostTrailer.data(), mux::kTrailerLength);

    if (m_payload == 0) {
        restart(false);
        return false;
    }
    mux::Header header;
    header.unit = kRecordLoggerId;
    header.sequence = m_recordSequence;
    header.dataLength = uint16_t(m_payload);
    // The record counts 10 ms units; the count wraps modulo 2^32 as the logger's does.
    header.timeStamp = uint32_t(uint64_t(m_start / 10));
    header.sections = m_sections;
    mux::writeHeader(m_record.data(), header, mux::ByteOrder::Wire);
    if (handOn) handOn(m_record.data(), m_payload + mux::kOverhead);
    restart(true);
    return true;
}

void PcLogger::takeRecord(const mux::RecordView& record) {
    const int unit = record.unit();
    if (unit <= 0) return;
    for (int k = 0; k < kLines; ++k) {
        const Line& line = m_active[size_t(k)];
        if (line.function != kLoggerOutput || line.outputLoggerId != unit) continue;
        const std::span<const uint8_t> section = record.section(std::clamp(line.outputPort, 1, 9));
        if (section.empty()) continue;
        // A device that takes bytes slower than they come must not hold up the stream: what its
        // queue has no room for is dropped and shown on the line.
        if (!m_ports.isPortOpen(k + 1) || m_ports.isPortLost(k + 1)) continue;
        const size_t queued = m_ports.writeWhatFits(k + 1, section.data(), section.size());
        m_sent[size_t(k)] += unsigned(queued);
        m_dropped[size_t(k)] += unsigned(section.size() - queued);
    }
}

std::array<unsigned, kLines> PcLogger::takeReceived() {
    const auto r = m_received;
    m_received.fill(0);
    return r;
}

std::array<unsigned, kLines> PcLogger::takeSent() {
    const auto s = m_sent;
    m_sent.fill(0);
    return s;
}

std::array<unsigned, kLines> PcLogger::takeDropped() {
    const auto d = m_dropped;
    m_dropped.fill(0);
    return d;
}

} // namespace cv::pclogger
