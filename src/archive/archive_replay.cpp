#include "archive/archive_replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>
#include <sys/types.h>

#include "archive/archive_recorder.h"
#include "base/bytes.h"
#include "base/text_format.h"
#include "protocol/mux_record.h"
#include "stream/mux_stream.h"
#include "ports/host_clock.h"

namespace cv {

std::string archiveFileProblem(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return format("it cannot be opened: %s", std::strerror(errno));
    std::vector<uint8_t> first(mux::kOverhead + 65535);
    const size_t n = std::fread(first.data(), 1, first.size(), file);
    std::fclose(file);
    if (n == 0) return "it is empty";
    const mux::RecordView record(first.data(), n);
    if (!record.complete()) return "it does not start with a whole archive record";
    if (record.unit() >= kMuxCountedUnits || (!record.trailerIsHostTrailer() && record.sectionsTotal() != record.dataLength()))
        return "it does not start with an archive record";
    return {};
}

int ArchiveReplay::ticksPerRecord(int speed) { return 19 / std::clamp(speed, kMinSpeed, kMaxSpeed); }

ArchiveReplay::ArchiveReplay(HostClock& clock) : m_clock(clock) {}

ArchiveReplay::~ArchiveReplay() { stop(); }

bool ArchiveReplay::start(const std::string& path, RecordingMode mode) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    stop();
    m_file = file;
    m_fileName = path;
    m_mode = mode == recording::kReplayContinuous ? recording::kReplayContinuous : recording::kReplayOnce;
    m_stopRequest = false;
    m_wrapped = false;
    m_skipped = 0;
    m_replayed = 0;
    m_length = 0;
    if (fseeko(m_file, 0, SEEK_END) == 0) m_length = std::max<int64_t>(ftello(m_file), 0);
    fseeko(m_file, 0, SEEK_SET);
    m_position = 0;
    m_startMs = m_stopMs = m_clock.elapsedMs();
    return true;
}

void ArchiveReplay::stop() {
    if (m_file) {
        std::fclose(m_file);
        m_stopMs = m_clock.elapsedMs();
    }
    m_file = nullptr;
    m_mode = recording::kOff;
}

void ArchiveReplay::setSpeed(int speed) { m_speed = std::clamp(speed, kMinSpeed, kMaxSpeed); }

bool ArchiveReplay::takeStopRequest() {
    const bool requested = m_stopRequest;
    m_stopRequest = false;
    return requested;
}

double ArchiveReplay::seconds() const {
    const uint32_t until = m_file ? m_clock.elapsedMs() : m_stopMs;
    return double(until - m_startMs) * 0.001;
}

size_t ArchiveReplay::nextPacket(uint8_t* buffer, size_t room) {
    if (!m_file || m_stopRequest) return 0;
    if (--m_countdown > 0) return 0;
    m_countdown = ticksPerRecord(m_speed);

    m_position = ftello(m_file);
    if (m_position < 0) {
        requestStop();
        return 0;
    }
    if (m_position >= m_length) {
        if (m_mode == recording::kReplayOnce) {
            requestStop();
            return 0;
        }
        fseeko(m_file, 0, SEEK_SET);
        m_position = 0;
        m_wrapped = true;
    }
    if (room < mux::kPacketOverhead) {
        requestStop();
        return 0;
    }
    uint8_t* record = buffer + 2;
    if (std::fread(record, 1, mux::kHeaderLength, m_file) != mux::kHeaderLength) {
        requestStop();
        return 0;
    }
    const size_t payload = mux::RecordView(record, mux::kHeaderLength).dataLength();
    const size_t body = payload + mux::kTrailerLength;
    if (payload + mux::kPacketOverhead > room) {
        // Such a frame could never be received whole; the records behind it still can.
        if (fseeko(m_file, off_t(body), SEEK_CUR) != 0 || ftello(m_file) > m_length) {
            requestStop();
            return 0;
        }
        if (!m_wrapped) ++m_skipped;
        return 0;
    }
    buffer[0] = mux::kPacketType;
    buffer[1] = mux::kPacketType;
    mux::headerToWireOrder(record);
    if (std::fread(record + mux::kHeaderLength, 1, body, m_file) != body) {
        requestStop();
        return 0;
    }
    const size_t frame = payload + mux::kPacketOverhead;
    putU16le(buffer + frame - 2, blockChecksum(buffer, frame - 2));
    m_position += int64_t(mux::kHeaderLength + body);
    ++m_replayed;
    return frame;
}

std::string replayProgressText(uint64_t records, int64_t position, int64_t length) {
    const int percent = length > 0 ? int(std::clamp<int64_t>(position * 100 / length, 0, 100)) : 100;
    return format("   %llu record%s, %d%% of %lld K", static_cast<unsigned long long>(records), records == 1 ? "" : "s",
                  percent, static_cast<long long>((length + 1023) / 1024));
}

} // namespace cv
