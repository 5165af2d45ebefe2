#include "link/receiver.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "ports/serial_device.h"

namespace cv {

namespace {
constexpr size_t kFrameMinimum = 12;
constexpr int kFixedOrder[] = {3, 5, 4, 1, 2, 6, 7};

bool isHeadAt(const uint8_t* p) { return uint8_t(p[0] - 1) < 8 && p[0] == p[1]; }

// Sixteen bytes at a time through the compiler's portable vectors (SSE2 or NEON): a lane is set
// where a byte is a packet type 1..8 and the byte after it is the same.
using Lanes = uint8_t __attribute__((vector_size(16)));

} // namespace

// Only a position where two equal type bytes stand can start a packet; everything else is junk
// that the per-byte rule would drop one position at a time. Finding the next such position
// sixteen bytes at a time lets a buffer of junk cost a few memory passes rather than a full check
// per byte, while every candidate is still examined in order.
size_t PacketReceiver::nextCandidate(const uint8_t* bytes, size_t from, size_t end) {
    size_t i = from;
    for (; i + 16 <= end; i += 16) {
        Lanes here, next;
        std::memcpy(&here, bytes + i, 16);
        std::memcpy(&next, bytes + i + 1, 16);
        const auto hit = ((here - 1) < 8) & (here == next);
        uint64_t halves[2];
        std::memcpy(halves, &hit, 16);
        if ((halves[0] | halves[1]) != 0) break;
    }
    for (; i < end; ++i)
        if (isHeadAt(bytes + i)) return i;
    return end;
}

size_t PacketReceiver::fixedLength(int type) {
    switch (type) {
    case 1: return kSetupLength;
    case 2: return 12;
    case 3: return kStatusLength;
    case 4: return kUploadBlockLength;
    case 5: return kDirectoryEntryLength;
    case 6: return kAnalogLength;
    case 7: return kHardwareLength;
    default: return 0;
    }
}

PacketReceiver::PacketReceiver(PortSlotTable& ports, LoggerRecords& records) : m_ports(ports), m_records(records) {}

int PacketReceiver::checkPacket(const uint8_t* bytes, size_t count) {
    if (count >= 2 && bytes[0] == 8 && bytes[1] == 8) {
        if (count < m_expectedMux) return kIncomplete;
        if (m_expectedMux != kMuxOverhead) {
            if (packetChecksumOk(bytes, m_expectedMux)) return 8;
            m_expectedMux = kMuxOverhead;
            return kMuxKnownBad;
        }
        const size_t payload = mux::RecordView(bytes + 2, count - 2, mux::ByteOrder::Wire).dataLength();
        if (payload > kMaxMuxPayload) {
            m_counters.rejectedMuxLength = uint32_t(payload);
            return kMuxOversize;
        }
        if (payload == 0) return packetChecksumOk(bytes, kMuxOverhead) ? 8 : kNoPacket;
        m_expectedMux = payload + kMuxOverhead;
        if (count < m_expectedMux) return kIncomplete;
        if (packetChecksumOk(bytes, m_expectedMux)) return 8;
        m_expectedMux = kMuxOverhead;
        return kMuxBadChecksum;
    }
    for (int type : kFixedOrder) {
        if (count < 2 || bytes[0] != type || bytes[1] != type) continue;
        const size_t length = fixedLength(type);
        if (count < length) return kIncomplete;
        if (packetChecksumOk(bytes, length)) return type;
        if (type == 4) m_counters.badUploadBlocks++;
    }
    return kNoPacket;
}

void PacketReceiver::consume(size_t n) {
    n = std::min(n, m_fill);
    if (n > 0) m_headWaiting = false;
    std::memmove(m_buffer.data(), m_buffer.data() + n, m_fill - n);
    m_fill -= n;
}

void PacketReceiver::handOver(int type) {
    const uint8_t* p = m_buffer.data();
    switch (type) {
    case 1:
        std::memcpy(m_records.setup.data(), p, kSetupLength);
        consume(kSetupLength);
        m_records.setupArrived = true;
        break;
    case 2:
        std::memcpy(m_records.commandPacket.data(), p, 12);
        m_records.flashErrorCount = getU16le(p + 2);
        consume(12);
        break;
    case 3:
        std::memcpy(m_records.status.data(), p, kStatusLength);
        consume(kStatusLength);
        m_records.statusArrived = true;
        break;
    case 4:
        std::memcpy(m_records.uploadBlock.data(), p, kUploadBlockLength);
        consume(kUploadBlockLength);
        ++m_counters.uploadBlocks;
        if (m_consumer) m_consumer->onUploadBlock();
        break;
    case 5:
        std::memcpy(m_records.directoryEntry.data(), p, kDirectoryEntryLength);
        consume(kDirectoryEntryLength);
        if (m_consumer) m_consumer->onDirectoryEntry();
        break;
    case 6:
        std::memcpy(m_records.analog.data(), p, kAnalogLength);
        consume(kAnalogLength);
        if (m_consumer) m_consumer->onAnalogCalibration();
        break;
    case 7:
        std::memcpy(m_records.hardware.data(), p, kHardwareLength);
        consume(kHardwareLength);
        if (m_consumer) m_consumer->onHardwareConfiguration();
        break;
    case 8: {
        // Off the buffer before the consumer runs, like every other type: a box it opens runs
        // nested ticks that must neither frame this packet again nor lose the one behind it.
        const size_t length = m_expectedMux;
        std::memcpy(m_muxPacket.data(), p, length);
        consume(length);
        m_expectedMux = kMuxOverhead;
        const int32_t payload = int32_t(length - kMuxOverhead);
        if (payload > m_counters.largestMuxThisSecond) m_counters.largestMuxThisSecond = payload;
        if (m_consumer) m_consumer->onMuxRecord(m_muxPacket.data() + 2, length - 4);
        break;
    }
    default: break;
    }
}

int PacketReceiver::receiveLoggerPackets() {
    int result = kNothingRead;
    size_t n = 0;
    if (replaying()) {
        discardLoggerInput();
        m_fill = 0;
        m_headWaiting = false;
        m_expectedMux = kMuxOverhead;
        result = kPacketFramed;
        if (m_replay) n = m_replay->nextPacket(m_buffer.data(), m_buffer.size());
        n = std::min(n, m_buffer.size());
    } else {
        n = m_ports.readPort(kLoggerSlot, m_buffer.data() + m_fill, kReceiveBufferSize - m_fill);
        n = std::min(n, kReceiveBufferSize - m_fill);
    }
    if (n > 0) {
        if (result == kNothingRead) result = kBytesNoPacket;
        if (m_rawTap) m_rawTap(m_buffer.data() + m_fill, n);
        m_counters.bytesReceived += uint32_t(n);
        m_fill += n;
    }
    // Junk is skipped with an offset and removed in one move at the end of the pass, so a
    // buffer full of junk costs one pass rather than one move per dropped byte.
    size_t head = 0;
    while (m_fill - head >= kFrameMinimum) {
        const size_t lastHead = m_fill - kFrameMinimum + 1;
        head = nextCandidate(m_buffer.data(), head, lastHead);
        if (head == lastHead) break;
        const int check = checkPacket(m_buffer.data() + head, m_fill - head);
        if (check >= 1 && check <= 8) {
            consume(head);
            head = 0;
            m_counters.packetsFramed++;
            result = kPacketFramed;
            handOver(check);
            break;
        }
        if (check == kNoPacket) {
            ++head;
            continue;
        }
        if (check == kIncomplete) {
            consume(head);
            head = 0;
            if (!headOverdue()) break;
            // Given up like a head whose checksum failed: one byte, and the scan goes on.
            if (m_buffer[0] == 8) m_expectedMux = kMuxOverhead;
            m_headWaiting = false;
            head = 1;
            continue;
        }
        ++head;  // a mux error costs one byte and ends the pass
        break;
    }
    consume(head);
    return result;
}

void PacketReceiver::discardLoggerInput() {
    uint8_t scratch[kReceiveBufferSize];
    // The port's buffer is bounded; a device that never runs dry is not.
    for (int pass = 0; pass < 32; ++pass) {
        const size_t n = m_ports.readPort(kLoggerSlot, scratch, sizeof scratch);
        m_counters.bytesDiscarded += n;
        if (n == 0) break;
    }
}

void PacketReceiver::drainLoggerPort() {
    discardLoggerInput();
    m_fill = 0;
    m_expectedMux = kMuxOverhead;
    m_headWaiting = false;
}

uint32_t PacketReceiver::lineMs(size_t bytes) {
    const int index = m_ports.settingsIndex(kLoggerSlot);
    if (index != m_lineSettingsIndex) {
        const LineSettings line = parseLineSettings(settingsStringOf(index));
        m_lineSettingsIndex = index;
        m_bitsPerByte = uint32_t(1 + line.dataBits + (line.parity == 'N' ? 0 : 1) + line.stopBits);
        m_baud = uint32_t(std::max(line.baud, 1));
    }
    const uint64_t bitMs = uint64_t(bytes) * m_bitsPerByte * 1000;
    return uint32_t((bitMs + m_baud - 1) / m_baud);
}

// A head is timed from the tick that first found it waiting, against the time the line needs
// for the bytes it still lacked then, plus a second of slack for the logger and the PC. Deriving
// the bound from the declared length keeps a genuine upload block at 600 baud (about 17 s)
// framing, while a false mux header costs seconds rather than half a minute.
bool PacketReceiver::headOverdue() {
    if (!m_clock) return false;
    const uint32_t now = m_clock->elapsedMs();
    if (!m_headWaiting) {
        m_headWaiting = true;
        m_headSeenMs = now;
        m_headHeld = m_fill;
        return false;
    }
    // A mux head's length becomes known only once its header is in; the bound grows with it.
    const size_t declared = m_buffer[0] == 8 ? m_expectedMux : fixedLength(m_buffer[0]);
    const size_t lacking = declared > m_headHeld ? declared - m_headHeld : 0;
    return now - m_headSeenMs > lineMs(lacking) + 1000u;
}

} // namespace cv
