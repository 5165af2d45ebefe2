#include "archive/archive_replay.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>
#include <sys/types.h>

#include "archive/archive_recorder.h"
#include "base/bytes.h"
#include "base/job_lane.h"
#include "base/text_format.h"
#include "protocol/mux_record.h"
#include "stream/mux_stream.h"
#include "ports/host_clock.h"

namespace cv {

namespace {

constexpr size_t kReadBytes = 64 * 1024;
constexpr size_t kHeadBytes = mux::kOverhead + 65535;

std::string startProblem(const uint8_t* head, size_t n) {
    if (n == 0) return "it is empty";
    const mux::RecordView record(head, n);
    if (!record.complete()) return "it does not start with a whole archive record";
    if (record.unit() >= kMuxCountedUnits || (!record.trailerIsHostTrailer() && record.sectionsTotal() != record.dataLength()))
        return "it does not start with an archive record";
    return {};
}

std::string openProblem(int error) { return format("it cannot be opened: %s", std::strerror(error)); }

} // namespace

std::string archiveFileProblem(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return openProblem(errno);
    std::vector<uint8_t> first(kHeadBytes);
    const size_t n = std::fread(first.data(), 1, first.size(), file);
    std::fclose(file);
    return startProblem(first.data(), n);
}

// The file as the worker's thread reads it, pass after pass for a continuous replay.
struct ReplayReader {
    std::FILE* file = nullptr;
    int64_t length = 0;
    int64_t at = 0;
    bool continuous = false;
    bool done = false;

    ReplayReader() = default;
    ReplayReader(const ReplayReader&) = delete;
    ReplayReader& operator=(const ReplayReader&) = delete;
    ~ReplayReader() {
        if (file) std::fclose(file);
    }

    // Opens the file: 0 or an errno value; with `check`, the reason it is no archive file.
    int open(const std::string& path, bool check, std::string& problem) {
        file = std::fopen(path.c_str(), "rb");
        if (!file) {
            done = true;
            return errno;
        }
        if (fseeko(file, 0, SEEK_END) == 0) length = std::max<int64_t>(ftello(file), 0);
        if (check) {
            fseeko(file, 0, SEEK_SET);
            std::vector<uint8_t> head(kHeadBytes);
            problem = startProblem(head.data(), std::fread(head.data(), 1, head.size(), file));
        }
        fseeko(file, 0, SEEK_SET);
        return 0;
    }

    // Up to `want` bytes more, each pass through the file ended by a piece that says so.
    void read(size_t want, std::vector<ReplayPiece>& out) {
        while (want > 0 && !done) {
            ReplayPiece piece;
            const size_t n = size_t(std::min<int64_t>(int64_t(want), std::max<int64_t>(length - at, 0)));
            piece.bytes.resize(n);
            const size_t got = n > 0 ? std::fread(piece.bytes.data(), 1, n, file) : 0;
            piece.bytes.resize(got);
            want -= got;
            at += int64_t(got);
            if (got < n && std::ferror(file)) {
                piece.failed = true;
                done = true;
            } else if (got < n || at >= length) {
                // The end of a pass (early where the file shrank): a continuous replay goes round,
                // unless the pass held nothing.
                piece.passEnd = true;
                if (!continuous || at == 0 || fseeko(file, 0, SEEK_SET) != 0) done = true;
                at = 0;
            }
            out.push_back(std::move(piece));
        }
    }
};

// What the open of a start answered, once it has.
struct ArchiveReplay::Opening {
    bool answered = false;
    int error = 0;
    int64_t length = 0;
    std::string problem;
    std::string refusal() const { return error != 0 ? openProblem(error) : problem; }
};

int ArchiveReplay::ticksPerRecord(int speed) { return 19 / std::clamp(speed, kMinSpeed, kMaxSpeed); }

ArchiveReplay::ArchiveReplay(HostClock& clock) : m_clock(clock) {}

ArchiveReplay::~ArchiveReplay() { stop(); }

bool ArchiveReplay::start(const std::string& path, RecordingMode mode, bool checked) {
    auto worker = std::make_unique<JobLane>(8);
    auto reader = std::make_shared<ReplayReader>();
    reader->continuous = mode == recording::kReplayContinuous;
    auto opening = std::make_shared<Opening>();
    worker->post([reader, path, checked, opening]() -> JobLane::Answer {
        Opening answer;
        answer.error = reader->open(path, checked, answer.problem);
        answer.length = reader->length;
        answer.answered = true;
        return [opening, answer] { *opening = answer; };
    });
    worker->waitIdle(kStartWait);
    worker->collect();
    if (opening->answered && !opening->refusal().empty()) {
        m_refusal = opening->refusal();
        return false;
    }
    stop();
    m_refusal.clear();
    m_worker = std::move(worker);
    m_reader = std::move(reader);
    m_opening = opening->answered ? nullptr : opening;
    m_length = opening->length;
    m_fileName = path;
    m_mode = mode == recording::kReplayContinuous ? recording::kReplayContinuous : recording::kReplayOnce;
    m_stopRequest = false;
    m_wrapped = false;
    m_skipped = 0;
    m_replayed = 0;
    m_position = 0;
    m_startMs = m_stopMs = m_clock.elapsedMs();
    // The first bytes are let come before the first record is due.
    readAhead();
    m_worker->waitIdle(kStartWait);
    collect();
    return true;
}

void ArchiveReplay::stop() {
    if (replaying()) m_stopMs = m_clock.elapsedMs();
    // Not waited for: a thread stuck on a stalled share ends by itself, closing the file.
    if (m_worker) m_worker->abandon();
    m_worker.reset();
    m_reader.reset();
    m_opening.reset();
    m_pieces.clear();
    m_asked = m_held = 0;
    m_readerDone = false;
    m_mode = recording::kOff;
}

void ArchiveReplay::setSpeed(int speed) { m_speed = std::clamp(speed, kMinSpeed, kMaxSpeed); }

bool ArchiveReplay::takeStopRequest() {
    const bool requested = m_stopRequest;
    m_stopRequest = false;
    return requested;
}

double ArchiveReplay::seconds() const {
    const uint32_t until = replaying() ? m_clock.elapsedMs() : m_stopMs;
    return double(until - m_startMs) * 0.001;
}

void ArchiveReplay::collect() {
    if (!m_worker) return;
    m_worker->collect();
    if (m_opening && m_opening->answered) {
        m_refusal = m_opening->refusal();
        m_length = m_opening->length;
        m_opening.reset();
        if (!m_refusal.empty()) requestStop();
    }
}

void ArchiveReplay::readAhead() {
    while (m_worker && !m_readerDone && m_asked + m_held < kAheadBytes) {
        const bool posted = m_worker->tryPost([this, reader = m_reader]() -> JobLane::Answer {
            std::vector<ReplayPiece> pieces;
            reader->read(kReadBytes, pieces);
            const bool done = reader->done;
            return [this, done, pieces = std::move(pieces)]() mutable { arrived(kReadBytes, done, pieces); };
        });
        if (!posted) return;
        m_asked += kReadBytes;
    }
}

void ArchiveReplay::arrived(size_t asked, bool done, std::vector<ReplayPiece>& pieces) {
    m_asked -= std::min(m_asked, asked);
    for (ReplayPiece& piece : pieces) {
        m_held += piece.bytes.size();
        m_pieces.push_back(std::move(piece));
    }
    if (done) m_readerDone = true;
}

size_t ArchiveReplay::atHand(bool& wholePass) const {
    size_t n = 0;
    for (const ReplayPiece& piece : m_pieces) {
        n += piece.bytes.size() - piece.used;
        if (piece.passEnd || piece.failed) {
            wholePass = true;
            return n;
        }
    }
    wholePass = m_readerDone && m_asked == 0;
    return n;
}

void ArchiveReplay::copyOut(uint8_t* out, size_t n, bool consume) {
    size_t done = 0;
    for (auto it = m_pieces.begin(); done < n && it != m_pieces.end();) {
        const size_t part = std::min(n - done, it->bytes.size() - it->used);
        if (out) std::memcpy(out + done, it->bytes.data() + it->used, part);
        done += part;
        if (!consume) {
            ++it;
            continue;
        }
        it->used += part;
        m_held -= part;
        // A piece handed over is dropped, unless it marks the end of its pass.
        if (it->used == it->bytes.size() && !it->passEnd && !it->failed) it = m_pieces.erase(it);
        else ++it;
    }
}

size_t ArchiveReplay::nextPacket(uint8_t* buffer, size_t room) {
    if (!replaying() || m_stopRequest) return 0;
    collect();
    if (m_stopRequest) return 0;
    if (--m_countdown > 0) return 0;
    m_countdown = ticksPerRecord(m_speed);
    const size_t frame = nextFrame(buffer, room);
    readAhead();
    return frame;
}

size_t ArchiveReplay::nextFrame(uint8_t* buffer, size_t room) {
    // The bytes of the record due have not come yet: it goes on the first tick they are here.
    auto notYet = [this] {
        m_countdown = 1;
        return size_t(0);
    };
    auto end = [this] {
        requestStop();
        return size_t(0);
    };
    if (!m_pieces.empty()) {
        const ReplayPiece& front = m_pieces.front();
        if (front.used == front.bytes.size() && (front.passEnd || front.failed)) {
            if (m_mode == recording::kReplayOnce || front.failed) return end();
            m_pieces.pop_front();
            m_position = 0;
            m_wrapped = true;
        }
    }
    if (room < mux::kPacketOverhead) return end();
    bool wholePass = false;
    const size_t have = atHand(wholePass);
    if (have < mux::kHeaderLength) return wholePass ? end() : notYet();
    uint8_t* record = buffer + 2;
    copyOut(record, mux::kHeaderLength, false);
    const size_t payload = mux::RecordView(record, mux::kHeaderLength).dataLength();
    const size_t whole = mux::kHeaderLength + payload + mux::kTrailerLength;
    if (have < whole) return wholePass ? end() : notYet();
    if (payload + mux::kPacketOverhead > room) {
        // Such a frame could never be received whole; the records behind it still can.
        copyOut(nullptr, whole, true);
        m_position += int64_t(whole);
        if (!m_wrapped) ++m_skipped;
        return 0;
    }
    copyOut(record, whole, true);
    buffer[0] = mux::kPacketType;
    buffer[1] = mux::kPacketType;
    mux::headerToWireOrder(record);
    const size_t frame = payload + mux::kPacketOverhead;
    putU16le(buffer + frame - 2, blockChecksum(buffer, frame - 2));
    m_position += int64_t(whole);
    ++m_replayed;
    return frame;
}

std::string replayProgressText(uint64_t records, int64_t position, int64_t length) {
    const int percent = length > 0 ? int(std::clamp<int64_t>(position * 100 / length, 0, 100)) : 100;
    return format("   %llu record%s, %d%% of %lld K", static_cast<unsigned long long>(records), records == 1 ? "" : "s",
                  percent, static_cast<long long>((length + 1023) / 1024));
}

} // namespace cv
