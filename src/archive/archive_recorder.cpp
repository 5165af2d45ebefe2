#include "archive/archive_recorder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/text_format.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace recording {

std::string statusText(RecordingMode mode, double replaySeconds, uint32_t failedWrites) {
    std::string text;
    switch (mode) {
    case kOff: text = "Recording:  OFF"; break;
    case kContinuous: text = "Recording:  Archive File"; break;
    case kHourly: text = "Recording:  1 Hour Archive"; break;
    case kDaily: text = "Recording:  24 Hour Archive"; break;
    case kReplayOnce: text = format("Replay Archive:  %5.3lf secs", replaySeconds); break;
    case kReplayContinuous: text = format("Continuous Archive Replay:  %5.3lf secs", replaySeconds); break;
    default: text = "Recording:  Error"; break;
    }
    if (failedWrites > 0) text += format("   (%u failed writes)", failedWrites);
    return text;
}

std::string fileSizeText(int64_t bytes) { return format("File Size:  %8ld K", long(bytes / 1024)); }

std::string periodicFileName(const std::string& baseName, RecordingMode mode, const std::tm& local) {
    int year = local.tm_year;
    if (year >= 100) year -= 100;
    if (mode == kHourly) return format("%s%02d_%03d.%03d", baseName.c_str(), year, local.tm_yday + 1, local.tm_hour);
    return format("%s%02d.%03d", baseName.c_str(), year, local.tm_yday + 1);
}

}  // namespace recording

using namespace recording;

ArchiveRecorder::ArchiveRecorder(HostClock& clock, WarningBox& warnings, ArchiveFiles* files)
    : m_clock(clock), m_warnings(warnings), m_files(files ? *files : systemArchiveFiles()) {}

ArchiveRecorder::~ArchiveRecorder() { closeFile(); }

std::string ArchiveRecorder::fileNameText() const {
    const char* lead = m_mode == kHourly ? "1 Hour Archive File:  %s"
                       : m_mode == kDaily ? "24 Hour Archive File:  %s"
                                          : "Archive File:  %s";
    return format(lead, m_fileName.c_str());
}

void ArchiveRecorder::begin(RecordingMode mode, const std::string& name) {
    stop();
    m_mode = mode;
    m_name = name;
    m_recordedBytes = 0;
    m_failedWrites = 0;
    m_failing = false;
    m_partialFiles.clear();
}

bool ArchiveRecorder::startContinuous(const std::string& path) {
    begin(kContinuous, path);
    m_fileName = path;
    if (!openFile(true)) return refuseStart();
    return true;
}

bool ArchiveRecorder::startPeriodic(RecordingMode mode, const std::string& baseName) {
    begin(mode == kDaily ? kDaily : kHourly, baseName);
    // The present hour's or day's file is measured (and created empty when absent) now, so a
    // path that cannot be written is refused while the operator is there to see it.
    if (!openFile(false)) return refuseStart();
    closeFile();
    return true;
}

bool ArchiveRecorder::refuseStart() {
    const int error = m_lastError;
    m_mode = kOff;
    m_warnings.show(kFileErrorTitle, format("Unable to create archive file %s: %s. Recording stopped.",
                                            m_fileName.c_str(), std::strerror(error)));
    return false;
}

void ArchiveRecorder::stop() {
    closeFile();
    m_mode = kOff;
}

std::string ArchiveRecorder::currentFileName() const {
    std::string name = m_mode == kContinuous ? m_name
                                              : periodicFileName(m_name, m_mode, m_clock.localTime(m_clock.now()));
    // A file that ends in a partial record takes no more: the same name with "-2", "-3"...
    const std::string plain = name;
    for (int n = 2; m_partialFiles.count(name); ++n) name = plain + "-" + std::to_string(n);
    return name;
}

bool ArchiveRecorder::openFile(bool truncate) {
    closeFile();
    if (m_mode != kContinuous) m_fileName = currentFileName();
    const int handle = m_files.open(m_fileName, truncate);
    if (handle < 0) {
        m_lastError = -handle;
        return false;
    }
    m_fd = handle;
    m_recordedBytes = m_files.size(m_fd);
    return true;
}

void ArchiveRecorder::closeFile() {
    if (m_fd < 0) return;
    flushFile();
    m_files.close(m_fd);
    m_fd = -1;
}

void ArchiveRecorder::flushFile() {
    if (m_fd >= 0 && m_unflushed) m_files.flush(m_fd);
    m_unflushed = false;
}

// Reported once for each spell of failures, counted for every record: a storage that blinks
// must neither end a recording of weeks nor raise a box for each record it loses.
bool ArchiveRecorder::recordLost(const char* action, int error) {
    ++m_failedWrites;
    if (!m_failing) {
        m_failing = true;
        m_warnings.show(kFileErrorTitle, format("Unable to %s archive file %s: %s. Recording goes on and tries again "
                                                "with every record; failed records are counted in the recording "
                                                "status.",
                                                action, m_fileName.c_str(), std::strerror(error)));
    }
    return false;
}

bool ArchiveRecorder::appendRecord(const uint8_t* record, size_t length) {
    if (!isRecording(m_mode)) return false;
    if (m_fd < 0) {
        // Continuous files are appended to after a failure; hourly and daily ones open the file
        // of the record's own hour or day.
        if (m_mode == kContinuous) m_fileName = currentFileName();
        if (!openFile(false)) return recordLost("open", m_lastError);
    }
    size_t done = 0;
    int error = 0;
    while (done < length) {
        const long n = m_files.write(m_fd, record + done, length - done);
        if (n <= 0) {
            error = n < 0 ? int(-n) : ENOSPC;
            break;
        }
        done += size_t(n);
    }
    if (done > 0) m_unflushed = true;
    if (done == length) {
        m_recordedBytes += int64_t(length);
        m_failing = false;
        return true;
    }
    // A record cut short would shift every later one for a reader: take the part back, so the
    // file stays whole records. Where that fails the file takes nothing more, and recording goes
    // on in a new file whose name says so.
    if (done > 0 && !m_files.truncate(m_fd, m_recordedBytes)) {
        const std::string damaged = m_fileName;
        m_partialFiles.insert(damaged);
        closeFile();
        m_fileName = currentFileName();
        m_warnings.show(kFileErrorTitle, format("Archive file %s ends in a partial record. Recording goes on in %s.",
                                                damaged.c_str(), m_fileName.c_str()));
    }
    // Closed, so the next record opens the file again: a storage that went away and came back
    // is found, and a full disk that has room again takes the next record.
    closeFile();
    return recordLost("write to", error);
}

void ArchiveRecorder::minuteTick() {
    if (!isRecording(m_mode)) return;
    // Hourly and daily files are closed, so the next record opens the file of its own hour or
    // day; a continuous file is put on the disk once a minute.
    if (m_mode == kContinuous) flushFile();
    else closeFile();
}

} // namespace cv
