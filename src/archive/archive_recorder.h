#pragma once
// Records the accepted mux records of the live stream into archive files on the PC: one
// continuous file, or one file per clock hour or per day named from a base name and the PC
// clock. Each record goes to the operating system in one write as it is accepted, so a program
// that is killed loses nothing it reported as recorded.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <set>
#include <string>

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

class ArchiveRecorder : public StreamConsumer {
public:
    // Files go to `files`, the real file system when none is given.
    ArchiveRecorder(HostClock& clock, WarningBox& warnings, ArchiveFiles* files = nullptr);
    ~ArchiveRecorder() override;
    ArchiveRecorder(const ArchiveRecorder&) = delete;
    ArchiveRecorder& operator=(const ArchiveRecorder&) = delete;

    // Creates (or empties) the file and records into it until stop(). False, with one warning
    // naming the file and the reason, when it cannot be created; the recorder stays off.
    bool startContinuous(const std::string& path);
    // Hourly or daily files from the base name. The present hour's or day's file is measured
    // (created empty when absent); the first record opens it for appending. False, with one
    // warning, when it cannot be created or opened.
    bool startPeriodic(RecordingMode mode, const std::string& baseName);
    // Puts the open file on the disk, closes it and turns the recorder off.
    void stop();

    // One write of the whole record (header in host order). False when nothing was kept: the
    // recorder is off, or its file could not be opened or written. A failure never ends the
    // recording: the record is counted as failed, the first failure of a spell raises one box,
    // and the next record tries the file again (a partial record is cut back first; a file
    // that keeps one takes nothing more and the recording goes on in "<name>-2").
    bool appendRecord(const uint8_t* record, size_t length);
    // StreamConsumer: every accepted record while recording.
    void takeRecord(const mux::RecordView& record) override { appendRecord(record.bytes(), record.wholeLength()); }
    // A new clock minute began (whoever drives the recorder watches the clock): an hourly or
    // daily file is closed, so that the next record opens the file of its own hour or day; a
    // continuous one is put on the disk.
    void minuteTick();

    RecordingMode mode() const { return m_mode; }
    bool fileOpen() const { return m_fd >= 0; }
    const std::string& fileName() const { return m_fileName; }
    // "Archive File:  %s", "1 Hour Archive File:  %s" or "24 Hour Archive File:  %s".
    std::string fileNameText() const;
    int64_t recordedBytes() const { return m_recordedBytes; }
    // Records of this recording that could not be written.
    uint32_t failedWrites() const { return m_failedWrites; }
    // The last record could not be written: the storage is failing now.
    bool failing() const { return m_failing; }

private:
    void begin(RecordingMode mode, const std::string& name);
    bool refuseStart();
    std::string currentFileName() const;
    bool openFile(bool truncate);
    void closeFile();
    void flushFile();
    bool recordLost(const char* action, int error);

    HostClock& m_clock;
    WarningBox& m_warnings;
    ArchiveFiles& m_files;
    RecordingMode m_mode = recording::kOff;
    int m_fd = -1;
    bool m_unflushed = false;
    int m_lastError = 0;
    std::string m_name;  // the continuous file's path, or the hourly and daily files' base name
    std::string m_fileName;
    std::set<std::string> m_partialFiles;
    int64_t m_recordedBytes = 0;
    uint32_t m_failedWrites = 0;
    bool m_failing = false;
};

} // namespace cv
