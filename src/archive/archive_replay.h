#pragma once
// Feeds an archive file back into the receiver as if the logger were sending it: each record is
// rebuilt into a type-8 frame (big-endian header fields, byte-sum checksum) and handed over at
// the chosen speed, once to the end of the file or round and round.
//
// The file is opened and read on a thread of the replay's own, kAheadBytes ahead of the records
// handed over: a file on a share that stalls holds up the replay only (the record due waits for
// its bytes), never the tick that asks for it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_recorder.h"
#include "link/receiver.h"

namespace cv {

class HostClock;
class JobLane;
struct ReplayReader;

// Why a file cannot be replayed: empty when it starts with a whole archive record (its length
// within the file, its unit one the stream takes, and either the host's "####" trailer or
// section lengths that add up to its data length), else the reason, for a box that names the
// file. A run file or a text file chosen by mistake would replay as garbage and a burst of
// "Mux ID Error" boxes.
std::string archiveFileProblem(const std::string& path);

// Bytes of the file read ahead, in file order; `passEnd` after the last byte of a pass through
// the file, `failed` where a read failed.
struct ReplayPiece {
    std::vector<uint8_t> bytes;
    size_t used = 0;
    bool passEnd = false;
    bool failed = false;
};

class ArchiveReplay : public ReplaySource {
public:
    static constexpr int kMinSpeed = 1;
    static constexpr int kMaxSpeed = 10;
    static constexpr int kDefaultSpeed = 6;
    // Ticks of the fast timer from one record to the next at a speed.
    static int ticksPerRecord(int speed);
    // Bytes read ahead of the record due: more than the longest record, four reads of 64 KB.
    static constexpr size_t kAheadBytes = 256 * 1024;
    // A start waits this long for the file to open (and its first bytes to come), so a file that
    // cannot be opened is refused at once; a slower storage answers at a later tick.
    static constexpr std::chrono::milliseconds kStartWait{200};

    explicit ArchiveReplay(HostClock& clock);
    ~ArchiveReplay() override;
    ArchiveReplay(const ArchiveReplay&) = delete;
    ArchiveReplay& operator=(const ArchiveReplay&) = delete;

    // Opens the file for replay once or continuously. False when it cannot be opened, or with
    // `checked` when it is no archive file (archiveFileProblem); nothing changes then and
    // refusal() says why. A storage that answers after the start's wait ends the replay at a
    // later tick instead (a stop request, with refusal() set).
    bool start(const std::string& path, RecordingMode mode, bool checked = false);
    // Why the last start was refused or its file could not be replayed: "it cannot be opened: ..."
    // or archiveFileProblem's reason; empty when it was not.
    const std::string& refusal() const { return m_refusal; }
    // Closes the file, without waiting for a storage that does not answer. The count of skipped
    // records stays readable until the next start.
    void stop();

    // ReplaySource: one fast-timer tick. The bytes of one rebuilt frame when a record is due,
    // else 0. Never writes beyond `room`.
    size_t nextPacket(uint8_t* buffer, size_t room) override;
    bool replaying() const override { return m_mode != RecordingMode::Off; }

    // Takes effect at the next reload of the countdown.
    void setSpeed(int speed);
    int speed() const { return m_speed; }
    // True once after the end of the file (replay once) or a failed read.
    bool takeStopRequest();

    RecordingMode mode() const { return m_mode; }
    const std::string& fileName() const { return m_fileName; }
    int64_t readPosition() const { return m_position; }
    int64_t fileLength() const { return m_length; }
    // Seconds since the replay started, by the PC's millisecond clock.
    double seconds() const;
    // Records whose frame would not fit the receive buffer, skipped on the first pass.
    uint32_t skippedRecords() const { return m_skipped; }
    // Records handed on since the start, every pass counted.
    uint64_t recordsReplayed() const { return m_replayed; }

private:
    struct Opening;

    void requestStop() { m_stopRequest = true; }
    void collect();
    void readAhead();
    void arrived(size_t asked, bool done, std::vector<ReplayPiece>& pieces);
    size_t nextFrame(uint8_t* buffer, size_t room);
    // The bytes of the present pass at hand, and whether they are all that is left of it.
    size_t atHand(bool& wholePass) const;
    // Copies the next `n` bytes at hand to `out` (when given), handing them over with `consume`.
    void copyOut(uint8_t* out, size_t n, bool consume);

    HostClock& m_clock;
    std::unique_ptr<JobLane> m_worker;
    std::shared_ptr<ReplayReader> m_reader;  // used on the worker's thread only
    std::shared_ptr<Opening> m_opening;      // the open's answer, until it came
    std::deque<ReplayPiece> m_pieces;
    size_t m_asked = 0;  // bytes asked for and not yet come
    size_t m_held = 0;   // bytes come and not yet handed over
    bool m_readerDone = false;
    std::string m_refusal;
    std::string m_fileName;
    RecordingMode m_mode = RecordingMode::Off;
    int m_speed = kDefaultSpeed;
    int m_countdown = 0;  // kept from one replay to the next
    bool m_stopRequest = false;
    bool m_wrapped = false;
    int64_t m_position = 0;
    int64_t m_length = 0;
    uint32_t m_startMs = 0;
    uint32_t m_stopMs = 0;
    uint32_t m_skipped = 0;
    uint64_t m_replayed = 0;
};

// How far a replay has come, for the status beside its seconds: "  1234 records, 41% of 812 K".
std::string replayProgressText(uint64_t records, int64_t position, int64_t length);

} // namespace cv
