#pragma once
// Records the accepted mux records of the live stream into archive files on the PC: one
// continuous file, or one file per clock hour or per day named from a base name and the PC
// clock, each with its time index beside it (the UTC time each record was taken).
//
// The files are opened, written, flushed, cut back and closed on a writer thread of the
// recorder's own, never on the thread that takes the records: a disk or a share that stalls
// holds up the recording only, not the port, the plot or the network outputs. Records wait for
// that thread in a queue of at most kQueueBytes record bytes; a record that does not fit is
// lost, counted and shown like one the storage refused. What the writer did (records written,
// files opened, failures) comes back to the recorder's own thread whenever it takes a record or
// ticks, and is shown there. Each record goes to the operating system in one write, so a program
// that is killed loses nothing the recorder counted as recorded.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_files.h"
#include "stream/stream_consumer.h"

namespace cv {

class HostClock;
class WarningBox;

// What the recording page is doing: recording into one file, hourly or daily files, or
// replaying a file once or round and round. The numbers are those the status texts and the
// host's other tools have always used.
enum class RecordingMode { Off = 0, Continuous = 2, Hourly = 3, Daily = 4, ReplayOnce = 5, ReplayContinuous = 6 };

namespace recording {
constexpr RecordingMode kOff = RecordingMode::Off;
constexpr RecordingMode kContinuous = RecordingMode::Continuous;
constexpr RecordingMode kHourly = RecordingMode::Hourly;
constexpr RecordingMode kDaily = RecordingMode::Daily;
constexpr RecordingMode kReplayOnce = RecordingMode::ReplayOnce;
constexpr RecordingMode kReplayContinuous = RecordingMode::ReplayContinuous;

inline bool isRecording(RecordingMode m) { return m == kContinuous || m == kHourly || m == kDaily; }

// The status text of LBRecordStatus and the TSRecord caption for a recording mode; the replay
// modes take the seconds replayed. Failed writes, when there are any, are added behind it.
std::string statusText(RecordingMode mode, double replaySeconds = 0.0, uint32_t failedWrites = 0);
// "File Size:  %8ld K" for a byte count.
std::string fileSizeText(int64_t bytes);
// The hourly or daily file name for a base name at a local time.
std::string periodicFileName(const std::string& baseName, RecordingMode mode, const std::tm& local);

constexpr const char* kFileErrorTitle = "Archive File Error";
}  // namespace recording

class ArchiveWriter;
class JobLane;
struct WriterEvent;

// How far the recorder lets its writer thread fall behind, and how long it waits for it.
struct RecorderLimits {
    // Record bytes waiting for the writer: 1 MiB, 91 s of a 115200-baud line full of records
    // (11,520 bytes a second at most), so a share that stalls for a minute loses nothing.
    size_t queueBytes = size_t(1) << 20;
    // A start waits this long for the file to be opened, so a path that cannot be created is
    // refused at once; a storage slower than that answers at a later tick.
    std::chrono::milliseconds startWait{200};
    // stop() waits this long for the queued records to land and the file to be closed; then
    // it gives up on the storage and counts what did not land as lost.
    std::chrono::milliseconds stopWait{3000};
};

class ArchiveRecorder : public StreamConsumer {
public:
    // Files go to `files`, the real file system when none is given.
    ArchiveRecorder(HostClock& clock, WarningBox& warnings, ArchiveFiles* files = nullptr,
                    RecorderLimits limits = RecorderLimits{});
    ~ArchiveRecorder() override;
    ArchiveRecorder(const ArchiveRecorder&) = delete;
    ArchiveRecorder& operator=(const ArchiveRecorder&) = delete;

    // Creates (or empties) the file and records into it until stop(). False, with one warning
    // naming the file and the reason, when it cannot be created; the recorder stays off. A
    // storage that has not answered within the start wait answers at a later tick: a refusal
    // then turns the recorder off with the same warning.
    bool startContinuous(const std::string& path);
    // Hourly or daily files from the base name. The present hour's or day's file is measured
    // (created empty when absent); the first record opens it for appending. False, with one
    // warning, when it cannot be created or opened (as above for a slow storage).
    bool startPeriodic(RecordingMode mode, const std::string& baseName);
    // Puts the open file on the disk, closes it and turns the recorder off. Waits at most the
    // stop wait for a storage that does not answer; what had not landed then is counted lost.
    void stop();

    // Hands the whole record (header in host order) to the writer, with the PC's UTC time now.
    // False when it was not taken: the recorder is off, or the writer's queue is full (the
    // record is counted lost). A record the storage then refuses is counted lost at a later
    // tick; a failure never ends the recording: the first failure of a spell raises one box,
    // and the next record tries the file again (a partial record is cut back first; a file
    // that keeps one takes nothing more and the recording goes on in "<name>-2").
    bool appendRecord(const uint8_t* record, size_t length);
    // StreamConsumer: every accepted record while recording.
    void takeRecord(const mux::RecordView& record) override { appendRecord(record.bytes(), record.wholeLength()); }
    // A new clock minute began (whoever drives the recorder watches the clock): takes in what the
    // writer did; an hourly or daily file is closed, so that the next record opens the file of its
    // own hour or day; a continuous one is put on the disk.
    void minuteTick();
    // Waits at most `timeout` for the writer to finish what it was handed, then takes in what
    // it did; true when it finished. For start-up (cvrecord learns whether its file opened) and
    // tests: never on a tick.
    bool waitForWriter(std::chrono::milliseconds timeout);

    RecordingMode mode() const { return m_mode; }
    // The storage answered this recording's start: its file was created, or the hour's or day's
    // file measured. A storage that stalls may leave it false for good while records queue.
    bool fileAnswered() const { return m_answered; }
    // The file being recorded into, as the writer last reported it.
    const std::string& fileName() const { return m_fileName; }
    // "Archive File:  %s", "1 Hour Archive File:  %s" or "24 Hour Archive File:  %s".
    std::string fileNameText() const;
    // The file's size as the writer last reported it.
    int64_t recordedBytes() const { return m_recordedBytes; }
    // Records of this recording that could not be written (the storage refused them, or they
    // did not fit the writer's queue).
    uint32_t failedWrites() const { return m_failedWrites; }
    // Records handed to the writer that it has not reported on yet.
    uint32_t inFlight() const { return m_inFlight; }
    // The last record could not be written: the storage is failing now.
    bool failing() const { return m_failing; }
    // Takes in what the writer did (lost records, a spell's box, the file it opened); once a
    // second, so a failure shows even while no record comes.
    void collect();

private:
    void begin(RecordingMode mode, const std::string& name);
    bool startWriter(std::string name, bool truncate, bool keepOpen);
    void apply(uint64_t recording, const std::vector<WriterEvent>& events);
    void refuseStart(const std::string& name, int error);
    void giveUpOnWriter();
    bool refreshTarget();
    void recordLost(const char* action, const std::string& name, const char* reason);

    HostClock& m_clock;
    WarningBox& m_warnings;
    ArchiveFiles& m_files;
    const RecorderLimits m_limits;
    std::unique_ptr<JobLane> m_worker;
    std::shared_ptr<ArchiveWriter> m_writer;  // used on the writer thread only
    uint64_t m_recording = 0;  // counts starts: what the writer reports of an earlier one is old news
    RecordingMode m_mode = recording::kOff;
    bool m_answered = false;
    std::string m_name;  // the continuous file's path, or the hourly and daily files' base name
    std::string m_fileName;
    std::string m_target;     // the file a record opens when none is open, as last told to the writer
    int64_t m_targetAt = -1;  // the clock second it was named at
    int64_t m_recordedBytes = 0;
    uint32_t m_failedWrites = 0;
    uint32_t m_inFlight = 0;  // records handed to the writer and not yet reported on
    bool m_failing = false;
};

} // namespace cv
