#pragma once
// Records the accepted mux records of the live stream into archive files on the PC: one
// continuous file, or one file per clock hour or per day named from a base name and the PC
// clock. Each record goes to the operating system in one write as it is accepted, so a program
// that is killed loses nothing it reported as recorded.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

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
inline bool isReplay(RecordingMode m) { return m == kReplayOnce || m == kReplayContinuous; }

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
    ArchiveRecorder(HostClock& clock, WarningBox& warnings);
    ~ArchiveRecorder() override;
    ArchiveRecorder(const ArchiveRecorder&) = delete;
    ArchiveRecorder& operator=(const ArchiveRecorder&) = delete;

    // Creates (or empties) the file and records into it until stop(). False, with one warning
    // naming the file and the reason, when it cannot be created; the recorder stays off.
    bool startContinuous(const std::string& path);
    // Hourly (mode 3) or daily (mode 4) files from the base name. The present hour's or day's
    // file is measured (created empty when absent); the first record opens it for appending.
    // False, with one warning, when it cannot be created or opened.
    bool startPeriodic(RecordingMode mode, const std::string& baseName);
    // Closes the open file, if any, and turns the recorder off.
    void stop();

    // One write of the whole record (header in host order). False when nothing was written:
    // the recorder is off, or its file could not be opened (recording then stops), or the
    // write failed.
    bool appendRecord(const uint8_t* record, size_t length);
    // StreamConsumer: every accepted record while recording.
    void takeRecord(const mux::RecordView& record) override { appendRecord(record.bytes(), record.wholeLength()); }
    // Once a second in modes 3 and 4: a new clock minute closes the open file, so that the next
    // record opens the file of its own hour or day.
    void minuteTick();

    // Called when recording stops by itself (a file that cannot be opened).
    void setStoppedHandler(std::function<void()> stopped) { m_stopped = std::move(stopped); }

    RecordingMode mode() const { return m_mode; }
    bool fileOpen() const { return m_fd >= 0; }
    const std::string& fileName() const { return m_fileName; }
    // "Archive File:  %s", "1 Hour Archive File:  %s" or "24 Hour Archive File:  %s".
    std::string fileNameText() const;
    int64_t recordedBytes() const { return m_recordedBytes; }
    uint32_t failedWrites() const { return m_failedWrites; }

private:
    bool makePeriodicFileName();
    bool openFile(bool truncate);
    void closeFile();
    void fail(const std::string& action, int error);

    HostClock& m_clock;
    WarningBox& m_warnings;
    std::function<void()> m_stopped;
    RecordingMode m_mode = recording::kOff;
    int m_fd = -1;
    std::string m_baseName;
    std::string m_fileName;
    std::string m_writeFailureReportedFor;
    int64_t m_recordedBytes = 0;
    uint32_t m_failedWrites = 0;
    int m_lastMinute = -1;
};

} // namespace cv
