#include "host/host.h"

namespace cv {

Host::Host(HostDevices d)
    : m_clock(d.clock),
      m_warnings(d.dialogs),
      m_ports(d.serial, d.dialogs),
      m_commands(m_ports),
      m_receiver(m_ports, m_records),
      m_loggerPort(m_ports, m_receiver),
      m_stream(m_warnings),
      m_recorder(d.clock, m_warnings, d.archiveFiles, d.recorderLimits),
      m_replay(d.clock),
      m_pcLogger(d.clock, m_ports),
      m_network(d.sockets, d.clock),
      m_minutes(d.clock) {
    m_receiver.setConsumer(this);
    m_receiver.setClock(&d.clock);
    m_receiver.setReplaySource(&m_replay);
    m_stream.addConsumer(&m_fanOut);
    setConsumer(StreamSlot::PcLoggerForwarding, &m_pcLogger);
    setConsumer(StreamSlot::Recorder, &m_recorder);
    setConsumer(StreamSlot::NetworkOutputs, &m_network.tap());
    m_network.setFailureHandler([this](int index, const std::string& reason) { m_events->outputFailed(index, reason); });
}

// The file goes to the disk whole before the ports close.
Host::~Host() {
    m_recorder.stop();
    m_ports.closeAll();
}

void Host::SlotFanOut::takeRecord(const mux::RecordView& record) { takeRecordFrom(Origin::Live, record); }

void Host::SlotFanOut::takeRecordFrom(Origin origin, const mux::RecordView& record) {
    ++m_host.m_accepted;
    for (StreamConsumer* c : m_host.m_slots)
        if (c) c->takeRecordFrom(origin, record);
}

void Host::fastTick() {
    if (m_loggerPort.receiveTick().recovered) m_events->linkRecovered();
}

int Host::receiveNow() {
    const LoggerPort::Received r = m_loggerPort.receiveNow();
    if (r.recovered) m_events->linkRecovered();
    return r.result;
}

void Host::statusTick(status::TimeSync sync) {
    if (!m_records.statusArrived) return;
    const status::IdentityFinding found = m_status.identify(m_records.status);
    if (found.verdict != status::LoggerIdentityCheck::Verdict::Continuing) m_events->identityVerdict(found);
    std::optional<status::ClockSet> clockSet;
    const status::StatusView v = m_status.decode(m_records.status, m_clock, m_facts, m_loggerPort.lineLoad(),
                                                 m_commands, sync, clockSet);
    m_events->statusDecoded(v);
    if (clockSet) m_events->clockSetSent(*clockSet);
    m_records.statusArrived = false;
}

void Host::lineInterrupted() {
    m_records.statusArrived = false;
    m_events->identityCheckStarted(m_status.lineInterrupted());
}

void Host::secondTick() {
    const LinkSecond link = m_loggerPort.secondStep(m_stream.totalSequenceErrors(), m_facts.portTestRunning,
                                                    m_clock.elapsedMs());
    m_events->linkSupervised(link);
    if (link.speedChanged) m_events->autoBaudSpeedChanged(m_loggerPort.speedChoice());
    if (link.lostChanged) {
        if (*link.lostChanged) lineInterrupted();
        m_events->portLostChanged(*link.lostChanged);
    }

    m_recorder.collect();
    m_network.secondTick();
    if (m_minutes.newMinute()) {
        m_recorder.minuteTick();
        m_events->minuteBegan();
    }
    const bool recording = recording::isRecording(m_recorder.mode());
    const std::string opened = recording && m_recorder.fileAnswered() ? m_recorder.fileName() : std::string();
    if (opened != m_openedFile) {
        m_openedFile = opened;
        if (!opened.empty()) m_events->recorderFileOpened(opened);
    }
    const bool failing = recording && m_recorder.failing();
    if (failing != m_recorderFailing) {
        m_recorderFailing = failing;
        m_events->recorderFailingChanged(failing);
    }

    const auto changes = m_network.changes();
    for (int i = 0; i < share::kMaxOutputs; ++i)
        if (changes[size_t(i)].any()) m_events->networkOutputChanged(i, changes[size_t(i)]);
}

bool Host::startOutput(int index, const share::OutputConfig& config) {
    if (m_network.start(index, config)) return true;
    m_events->outputFailed(index, m_network.fault(index));
    return false;
}

void Host::onUploadBlock() {
    if (m_packets) m_packets->onUploadBlock();
}
void Host::onDirectoryEntry() {
    if (m_packets) m_packets->onDirectoryEntry();
}
void Host::onAnalogCalibration() {
    if (m_packets) m_packets->onAnalogCalibration();
}
void Host::onHardwareConfiguration() {
    if (m_packets) m_packets->onHardwareConfiguration();
}
// A replayed record is told apart from a live one, so the seams between them are no gaps and
// the plot does not join them.
void Host::onMuxRecord(uint8_t* record, size_t length) {
    m_stream.acceptMuxRecord(record, length, m_facts.replayRunning ? Origin::Replay : Origin::Live);
}

} // namespace cv
