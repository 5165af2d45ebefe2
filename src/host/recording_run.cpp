#include "host/recording_run.h"

#include "link/supervision.h"
#include "protocol/speed_choices.h"
#include "setup/logger_identity.h"

namespace cv {

RecordingRun::RecordingRun(Host& host, RecordingOptions options, Print out, Print err)
    : m_host(host), m_options(std::move(options)), m_out(std::move(out)), m_err(std::move(err)) {
    m_host.setEvents(this);
}

RecordingRun::~RecordingRun() { m_host.setEvents(nullptr); }

RecordingRun::Start RecordingRun::start() {
    m_host.loggerPort().open(m_options.loggerPort, m_options.speedChoice);
    if (!m_host.ports().isPortOpen(kLoggerSlot)) return Start::PortFailed;
    if (m_options.autoBaud) m_host.loggerPort().keepAutoBaud(true);
    ArchiveRecorder& recorder = m_host.recorder();
    const bool recording = m_options.mode == recording::kContinuous ? recorder.startContinuous(m_options.name)
                                                                    : recorder.startPeriodic(m_options.mode, m_options.name);
    if (!recording) return Start::RecordingFailed;
    for (size_t i = 0; i < m_options.outputs.size(); ++i)
        if (!m_host.startOutput(int(i), m_options.outputs[i])) return Start::OutputFailed;
    return Start::Started;
}

void RecordingRun::fastTick() { m_host.fastTick(); }

void RecordingRun::secondTick() {
    m_host.statusTick({m_options.timeSync, false});
    m_host.secondTick();
}

void RecordingRun::stop() {
    m_host.recorder().stop();
    m_host.ports().closeAll();
}

std::string RecordingRun::statusLine() {
    const ArchiveRecorder& recorder = m_host.recorder();
    std::string line = "records " + std::to_string(m_host.acceptedRecords()) + ", gaps " +
                       std::to_string(m_host.stream().totalSequenceErrors()) + ", file " +
                       (recorder.fileName().empty() ? std::string("-") : recorder.fileName()) + ", bytes " +
                       std::to_string(recorder.recordedBytes());
    if (recorder.failedWrites() > 0) line += ", failed writes " + std::to_string(recorder.failedWrites());
    if (m_options.timeSync) line += ", clock sets " + std::to_string(m_clockSets);
    if (m_tail) line += m_tail();
    else if (m_host.ports().isPortLost(kLoggerSlot)) line += ", port lost";
    return line;
}

void RecordingRun::autoBaudSpeedChanged(int speedChoice) {
    m_out(std::string("auto baud: trying ") + kSpeedChoiceItems[size_t(speedChoice)]);
}

void RecordingRun::identityVerdict(const status::IdentityFinding& found) {
    if (found.verdict == status::LoggerIdentityCheck::Verdict::OtherLogger && found.was)
        m_err(std::string(status::kOtherLoggerTitle) + ": " + status::otherLoggerText(*found.was, found.now));
}

void RecordingRun::clockSetSent(const status::ClockSet& set) {
    if (set.sent) ++m_clockSets;
}

void RecordingRun::minuteBegan() { m_out(statusLine()); }

std::string RecordingRun::outputName(int index) const {
    if (size_t(index) >= m_options.outputs.size()) return "output " + std::to_string(index + 1);
    const share::OutputConfig& config = m_options.outputs[size_t(index)];
    // A broker's connection is one output, whichever of its sections reports.
    return config.protocol == share::Protocol::Mqtt ? "MQTT " + config.host : config.text();
}

void RecordingRun::outputFailed(int index, const std::string& fault) {
    if (m_events) m_events->outputFailed(outputName(index), fault);
    else m_err(outputName(index) + ": " + fault);
}

void RecordingRun::portLostChanged(bool lost) {
    if (m_events) m_events->portLostChanged(lost);
}

void RecordingRun::recorderFileOpened(const std::string& file) {
    if (m_events) m_events->fileOpened(file);
}

void RecordingRun::recorderFailingChanged(bool failing) {
    const ArchiveRecorder& recorder = m_host.recorder();
    if (m_events) m_events->writesFailingChanged(failing, recorder.fileName(), recorder.failedWrites());
}

void RecordingRun::networkOutputChanged(int index, const share::OutputChange& change) {
    if (m_events) m_events->outputChanged(outputName(index), change);
}

} // namespace cv
