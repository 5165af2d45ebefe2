#pragma once
// Feeds an archive file back into the receiver as if the logger were sending it: each record is
// rebuilt into a type-8 frame (big-endian header fields, byte-sum checksum) and handed over at
// the chosen speed, once to the end of the file or round and round.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/archive_recorder.h"
#include "link/receiver.h"

namespace cv {

class HostClock;

// Why a file cannot be replayed: empty when it starts with a whole archive record (its length
// within the file, its unit one the stream takes, and either the host's "####" trailer or
// section lengths that add up to its data length), else the reason, for a box that names the
// file. A run file or a text file chosen by mistake would replay as garbage and a burst of
// "Mux ID Error" boxes.
std::string archiveFileProblem(const std::string& path);

class ArchiveReplay : public ReplaySource {
public:
    static constexpr int kMinSpeed = 1;
    static constexpr int kMaxSpeed = 10;
    static constexpr int kDefaultSpeed = 6;
    // Ticks of the fast timer from one record to the next at a speed.
    static int ticksPerRecord(int speed);

    explicit ArchiveReplay(HostClock& clock);
    ~ArchiveReplay() override;
    ArchiveReplay(const ArchiveReplay&) = delete;
    ArchiveReplay& operator=(const ArchiveReplay&) = delete;

    // Opens the file for replay once or continuously. False when it cannot be opened; nothing
    // changes then.
    bool start(const std::string& path, RecordingMode mode);
    // Closes the file. The count of skipped records stays readable until the next start.
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
    void requestStop() { m_stopRequest = true; }

    HostClock& m_clock;
    std::FILE* m_file = nullptr;
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
