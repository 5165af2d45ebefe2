#pragma once
// Cuts the logger port's byte stream into whole, checksum-verified logger packets, at most one
// per call, and hands each to its record or consumer. Any byte sequence in any chunking is safe.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "protocol/logger_records.h"
#include "link/port_slots.h"
#include "protocol/mux_record.h"
#include "ports/host_clock.h"

namespace cv {

constexpr size_t kReceiveBufferSize = 4096;
constexpr size_t kMuxOverhead = mux::kPacketOverhead;
// A mux packet must fit the receive buffer whole, or it could never complete.
constexpr size_t kMaxMuxPayload = kReceiveBufferSize - kMuxOverhead;

enum ReceiveResult { kNothingRead = 0, kBytesNoPacket = 1, kPacketFramed = 2 };

// CheckPacket answers besides the packet types 1..8.
enum CheckResult { kNoPacket = 0, kIncomplete = -1, kMuxOversize = -2, kMuxBadChecksum = -3, kMuxKnownBad = -4 };

class PacketConsumer {
public:
    virtual ~PacketConsumer() = default;
    virtual void onUploadBlock() {}
    virtual void onDirectoryEntry() {}
    virtual void onAnalogCalibration() {}
    virtual void onHardwareConfiguration() {}
    // The mux record (packet less its type bytes and checksum); the consumer may convert it in place.
    virtual void onMuxRecord(uint8_t* /*record*/, size_t /*length*/) {}
};

// During replay the receiver takes one rebuilt mux packet per call from here instead of the port.
class ReplaySource {
public:
    virtual ~ReplaySource() = default;
    virtual size_t nextPacket(uint8_t* buffer, size_t room) = 0;
    // While true the receiver takes its packets from here, not from the logger port.
    virtual bool replaying() const = 0;
};

struct LinkCounters {
    uint32_t bytesReceived = 0;
    uint32_t packetsFramed = 0;
    uint32_t badUploadBlocks = 0;
    uint32_t uploadBlocks = 0;       // framed upload blocks, good or bad
    int32_t largestMuxThisSecond = 0;
    uint32_t rejectedMuxLength = 0;  // declared payload of the last oversize mux packet, for diagnosis
    uint64_t bytesDiscarded = 0;     // read from the logger port and thrown away (replay, drains)
};

class PacketReceiver {
public:
    PacketReceiver(PortSlotTable& ports, LoggerRecords& records);

    void setConsumer(PacketConsumer* consumer) { m_consumer = consumer; }
    void setReplaySource(ReplaySource* source) { m_replay = source; }
    // Sees every byte read from the logger port (the raw display's logger source).
    void setRawTap(std::function<void(const uint8_t*, size_t)> tap) { m_rawTap = std::move(tap); }
    // With a clock, a packet head whose remaining bytes are overdue at the logger port's speed
    // is given up, so one false head cannot hold all framing. Without one, a head waits for ever.
    void setClock(HostClock* clock) { m_clock = clock; }

    // One tick's work: one read, at most one framed packet. See ReceiveResult. During a replay
    // the packet comes from the replay source, and what the logger port received is read and
    // thrown away, so that it neither piles up nor is framed, stale, once the replay ends.
    int receiveLoggerPackets();
    // A replay feeds the receiver instead of the logger port.
    bool replaying() const { return m_replay && m_replay->replaying(); }
    // Drops everything pending or half-received from the logger port.
    void drainLoggerPort();
    // Identifies the packet at the head of `bytes`: a type 1..8, or a CheckResult.
    int checkPacket(const uint8_t* bytes, size_t count);

    LinkCounters& counters() { return m_counters; }
    const LinkCounters& counters() const { return m_counters; }
    size_t fillCount() const { return m_fill; }
    // True while a packet of this type has begun to arrive and waits for its remaining bytes.
    bool receivingPacket(int type) const {
        return m_fill >= 2 && m_buffer[0] == type && m_buffer[1] == type;
    }
    size_t expectedMuxLength() const { return m_expectedMux; }
    // True while a packet head waits for bytes that are still due at the line's speed.
    bool packetArriving() const { return m_headWaiting; }

    static size_t fixedLength(int type);
    // The first position in [from, end) where two equal packet type bytes stand, or end;
    // bytes[end] must be readable.
    static size_t nextCandidate(const uint8_t* bytes, size_t from, size_t end);

private:
    void discardLoggerInput();
    void consume(size_t n);
    void handOver(int type);
    bool headOverdue();
    uint32_t lineMs(size_t bytes);

    PortSlotTable& m_ports;
    LoggerRecords& m_records;
    PacketConsumer* m_consumer = nullptr;
    ReplaySource* m_replay = nullptr;
    std::function<void(const uint8_t*, size_t)> m_rawTap;
    std::array<uint8_t, kReceiveBufferSize> m_buffer{};
    std::array<uint8_t, kReceiveBufferSize> m_muxPacket{};  // the framed mux packet, off the buffer
    size_t m_fill = 0;
    size_t m_expectedMux = kMuxOverhead;
    LinkCounters m_counters;
    HostClock* m_clock = nullptr;
    bool m_headWaiting = false;  // the head at offset 0 was seen incomplete and is being timed
    uint32_t m_headSeenMs = 0;
    size_t m_headHeld = 0;       // bytes of it already held when first seen
    int m_lineSettingsIndex = 0;  // the logger port setting that m_bitsPerByte and m_baud are for
    uint32_t m_bitsPerByte = 10;
    uint32_t m_baud = 9600;
};

} // namespace cv
