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

std::string statusText(int mode, double replaySeconds, uint32_t failedWrites) {
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

std::string periodicFileName(const std::string& baseName, int mode, const std::tm& local) {
    int year = local.tm_year;
    if (year >= 100) year -= 100;
    if (mode == kHourly) return format("%s%02d_%03d.%03d", baseName.c_str(), year, local.tm_yday + 1, local.tm_hour);
    return format("%s%02d.%03d", baseName.c_str(), year, local.tm_yday + 1);
}

}  // namespace recording

using namespace recording;

ArchiveRecorder::ArchiveRecorder(HostClock& clock, WarningBox& warnings) : m_clock(clock), m_warnings(warnings) {}

ArchiveRecorder::~ArchiveRecorder() { closeFile(); }

std::string ArchiveRecorder::fileNameText() const {
    const char* lead = m_mode == kHourly ? "1 Hour Archive File:  %s"
                       : m_mode == kDaily ? "24 Hour Archive File:  %s"
                                          : "Archive File:  %s";
    return format(lead, m_fileName.c_str());
}

bool ArchiveRecorder::startContinuous(const std::string& path) {
    stop();
    m_fileName = path;
    m_recordedBytes = 0;
    m_failedWrites = 0;
    m_writeFailureReportedFor.clear();
    if (!openFile(true)) {
        fail("create", errno);
        return false;
    }
    m_mode = kContinuous;
    return true;
}

bool ArchiveRecorder::startPeriodic(int mode, const std::string& baseName) {
    stop();
    m_baseName = baseName;
    m_failedWrites = 0;
    m_writeFailureReportedFor.clear();
    m_mode = mode == kDaily ? kDaily : kHourly;
    if (!makePeriodicFileName()) {
        fail("create", errno);
        return false;
    }
    return true;
}

void ArchiveRecorder::stop() {
    closeFile();
    m_mode = kOff;
}

// Names the file of the present hour or day and takes its size, creating it when absent, so
// that an existing file of the same hour is appended to and its size counts on.
bool ArchiveRecorder::makePeriodicFileName() {
    m_fileName = periodicFileName(m_baseName, m_mode, m_clock.localTime(m_clock.now()));
    if (!openFile(false)) return false;
    closeFile();
    return true;
}

bool ArchiveRecorder::openFile(bool truncate) {
    closeFile();
    // Appending in every mode: after a record cut short is taken back, the next one must land
    // at the new end of the file, not where the cut one stopped (which would leave a hole).
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND | (truncate ? O_TRUNC : 0);
    m_fd = ::open(m_fileName.c_str(), flags, 0644);
    if (m_fd < 0) return false;
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) m_recordedBytes = int64_t(st.st_size);
    else m_recordedBytes = 0;
    return true;
}

void ArchiveRecorder::closeFile() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

// A file that cannot be made is reported once and ends the recording: going on would drop
// every record while the screen says it is recording.
void ArchiveRecorder::fail(const std::string& action, int error) {
    closeFile();
    m_mode = kOff;
    m_warnings.show(kFileErrorTitle, format("Unable to %s archive file %s: %s. Recording stopped.", action.c_str(),
                                            m_fileName.c_str(), std::strerror(error)));
    if (m_stopped) m_stopped();
}

bool ArchiveRecorder::appendRecord(const uint8_t* record, size_t length, int recordingMode) {
    if (m_mode == kOff || recordingMode != m_mode) return false;
    if (m_fd < 0) {
        if (m_mode == kContinuous) return false;
        if (!makePeriodicFileName() || !openFile(false)) {
            fail("open", errno);
            return false;
        }
    }
    size_t done = 0;
    int error = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, record + done, length - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
    }
    if (done == length) {
        m_recordedBytes += int64_t(length);
        return true;
    }
    // A record cut short would shift every later one for a reader: take the part back, so the
    // file stays whole records and the next record is tried in its right place.
    if (done > 0 && ::ftruncate(m_fd, off_t(m_recordedBytes)) != 0) m_recordedBytes += int64_t(done);
    ++m_failedWrites;
    if (m_writeFailureReportedFor != m_fileName) {
        m_writeFailureReportedFor = m_fileName;
        m_warnings.show(kFileErrorTitle, format("Unable to write to archive file %s: %s. Failed records are "
                                                "counted in the recording status.",
                                                m_fileName.c_str(), std::strerror(error)));
    }
    return false;
}

void ArchiveRecorder::minuteTick() {
    if (m_mode != kHourly && m_mode != kDaily) return;
    const int minute = m_clock.localTime(m_clock.now()).tm_min;
    if (minute == m_lastMinute) return;
    m_lastMinute = minute;
    closeFile();
}

} // namespace cv
