#include "archive/archive_recorder.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "archive/archive_writer.h"
#include "base/job_lane.h"
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

ArchiveRecorder::ArchiveRecorder(HostClock& clock, WarningBox& warnings, ArchiveFiles* files, RecorderLimits limits)
    : m_clock(clock),
      m_warnings(warnings),
      m_files(files ? *files : systemArchiveFiles()),
      m_limits(limits),
      m_worker(std::make_unique<JobLane>(limits.queueBytes)),
      m_writer(std::make_shared<ArchiveWriter>(m_files)) {}

ArchiveRecorder::~ArchiveRecorder() {
    stop();
    // The worker's thread holds the writer too: one stuck on a storage that never answered
    // closes its file whenever the call returns, or ends with the program.
    m_worker->abandon();
}

std::string ArchiveRecorder::fileNameText() const {
    const char* lead = m_mode == kHourly ? "1 Hour Archive File:  %s"
                       : m_mode == kDaily ? "24 Hour Archive File:  %s"
                                          : "Archive File:  %s";
    return format(lead, m_fileName.c_str());
}

void ArchiveRecorder::begin(RecordingMode mode, const std::string& name) {
    stop();
    ++m_recording;
    m_mode = mode;
    m_name = name;
    m_recordedBytes = 0;
    m_failedWrites = 0;
    m_inFlight = 0;
    m_failing = false;
    m_answered = false;
    m_target.clear();
    m_targetAt = -1;
}

bool ArchiveRecorder::startContinuous(const std::string& path) {
    begin(kContinuous, path);
    return startWriter(path, true, true);
}

bool ArchiveRecorder::startPeriodic(RecordingMode mode, const std::string& baseName) {
    begin(mode == kDaily ? kDaily : kHourly, baseName);
    // The present hour's or day's file is measured (and created empty when absent) now, so a
    // path that cannot be written is refused while the operator is there to see it.
    refreshTarget();
    return startWriter(m_target, false, false);
}

bool ArchiveRecorder::startWriter(std::string name, bool truncate, bool keepOpen) {
    m_fileName = m_target = name;
    const uint64_t recording = m_recording;
    const bool posted = m_worker->tryPost(
        [this, writer = m_writer, name, truncate, keepOpen, recording]() -> JobLane::Answer {
            std::vector<WriterEvent> events{writer->start(name, truncate, keepOpen)};
            return [this, recording, events = std::move(events)] { apply(recording, events); };
        },
        0);
    if (!posted) {
        refuseStart(name, EBUSY);
        return false;
    }
    m_worker->waitIdle(m_limits.startWait);
    collect();
    return isRecording(m_mode);
}

void ArchiveRecorder::refuseStart(const std::string& name, int error) {
    m_mode = kOff;
    ++m_recording;  // what the writer still says of this recording is not shown
    m_warnings.show(kFileErrorTitle, format("Unable to create archive file %s: %s. Recording stopped.", name.c_str(),
                                            std::strerror(error)));
}

void ArchiveRecorder::stop() {
    const bool recording = isRecording(m_mode);
    if (recording) {
        m_worker->post([writer = m_writer]() -> JobLane::Answer { writer->close(); return {}; }, 0);
        if (!m_worker->waitIdle(m_limits.stopWait)) giveUpOnWriter();
    }
    collect();
    m_mode = kOff;
}

// A storage that does not answer (a stalled share, a FIFO nobody reads) cannot be waited for:
// the thread stuck in it is left to end by itself, and the next recording gets a new one.
void ArchiveRecorder::giveUpOnWriter() {
    collect();
    const uint32_t lost = m_inFlight;
    m_worker->abandon();
    m_worker = std::make_unique<JobLane>(m_limits.queueBytes);
    m_writer = std::make_shared<ArchiveWriter>(m_files);
    m_inFlight = 0;
    ++m_recording;
    if (lost == 0) return;
    m_failedWrites += lost - 1;
    recordLost("write to", m_fileName, "the storage does not answer");
}

void ArchiveRecorder::collect() { m_worker->collect(); }

bool ArchiveRecorder::waitForWriter(std::chrono::milliseconds timeout) {
    const bool idle = m_worker->waitIdle(timeout);
    collect();
    return idle;
}

void ArchiveRecorder::apply(uint64_t recording, const std::vector<WriterEvent>& events) {
    if (recording != m_recording) return;
    for (const WriterEvent& e : events) {
        switch (e.kind) {
        case WriterEvent::Opened:
            m_answered = true;
            m_fileName = e.name;
            m_recordedBytes = e.bytes;
            break;
        case WriterEvent::Written:
            if (m_inFlight > 0) --m_inFlight;
            m_recordedBytes += e.bytes;
            m_failing = false;
            break;
        case WriterEvent::Lost:
            if (m_inFlight > 0) --m_inFlight;
            recordLost(e.action, e.name, std::strerror(e.error));
            break;
        case WriterEvent::Partial:
            m_fileName = e.next;
            m_warnings.show(kFileErrorTitle, format("Archive file %s ends in a partial record. Recording goes on in %s.",
                                                    e.name.c_str(), e.next.c_str()));
            break;
        case WriterEvent::StartRefused: refuseStart(e.name, e.error); break;
        }
    }
}

// Reported once for each spell of failures, counted for every record: a storage that blinks
// must neither end a recording of weeks nor raise a box for each record it loses.
void ArchiveRecorder::recordLost(const char* action, const std::string& name, const char* reason) {
    ++m_failedWrites;
    if (m_failing) return;
    m_failing = true;
    m_warnings.show(kFileErrorTitle, format("Unable to %s archive file %s: %s. Recording goes on and tries again "
                                            "with every record; failed records are counted in the recording "
                                            "status.",
                                            action, name.c_str(), reason));
}

// Keeps m_target the file a record taken now belongs in (the hour's or day's file by the PC
// clock, named once a clock second at most); true when it changed.
bool ArchiveRecorder::refreshTarget() {
    if (m_mode == kContinuous) return false;
    const int64_t now = m_clock.now();
    if (now == m_targetAt) return false;
    m_targetAt = now;
    std::string name = periodicFileName(m_name, m_mode, m_clock.localTime(now));
    if (name == m_target) return false;
    m_target = std::move(name);
    return true;
}

bool ArchiveRecorder::appendRecord(const uint8_t* record, size_t length) {
    collect();
    if (!isRecording(m_mode)) return false;
    const int64_t arrivalMs = m_clock.utcMs();
    if (refreshTarget()) {
        // Told to the writer in turn with the records, so each opens the file of its own time.
        m_worker->post(
            [writer = m_writer, target = m_target]() -> JobLane::Answer {
                writer->setTarget(target);
                return {};
            },
            0);
    }
    const uint64_t recording = m_recording;
    const bool posted = m_worker->tryPost(
        [this, writer = m_writer, bytes = std::vector<uint8_t>(record, record + length), arrivalMs,
         recording]() -> JobLane::Answer {
            std::vector<WriterEvent> events;
            writer->append(bytes, arrivalMs, events);
            return [this, recording, events = std::move(events)] { apply(recording, events); };
        },
        length);
    if (!posted) {
        recordLost("write to", m_fileName, "the storage does not answer");
        return false;
    }
    ++m_inFlight;
    return true;
}

void ArchiveRecorder::minuteTick() {
    collect();
    if (!isRecording(m_mode)) return;
    // Hourly and daily files are closed, so the next record opens the file of its own hour or
    // day; a continuous file is put on the disk once a minute.
    if (m_mode == kContinuous) m_worker->post([writer = m_writer]() -> JobLane::Answer { writer->flush(); return {}; }, 0);
    else m_worker->post([writer = m_writer]() -> JobLane::Answer { writer->close(); return {}; }, 0);
}

} // namespace cv
