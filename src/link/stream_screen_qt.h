#pragma once
// The stream screen controller: takes every mux record the receiver frames (and, later, the
// PC logger's own), feeds the Real Time Data page's memo from its three sources on the 5 ms
// tick, shows the per-unit counters once a second and sends typed text to the logger.
#include <QObject>

#include "link/mux_stream.h"
#include "settings/host_setup_part.h"

class QWidget;

namespace cv {

struct HostServices;
class ArchiveSink;
class PacketReceiver;
class RealTimePage;

class StreamScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds the Real Time Data page under `window` and taps the receiver's logger bytes.
    StreamScreen(QWidget* window, HostServices& services, PacketReceiver& receiver);
    ~StreamScreen() override;

    RealTimePage* page() const { return m_page; }
    MuxStream& stream() { return m_stream; }
    void setArchiveSink(ArchiveSink* sink) { m_stream.setArchiveSink(sink); }

    // The receiver's hand-over of a framed mux record.
    void onMuxRecord(uint8_t* record, size_t length, int recordingMode);
    // Hooks for the PC logger: its own records for the "Raw PC Logger Data" source, and its
    // output ports, which forward sections of the accepted records.
    void onPcLoggerRecordMade(const uint8_t* record, size_t length);
    void setPcLoggerOutputHook(MuxStream::PcLoggerOutputHook hook) { m_stream.setPcLoggerOutputHook(std::move(hook)); }

    // 5 ms tick, last step: what the three sources gathered goes to the memo.
    void rawDisplayStep();
    // 1000 ms tick: the unit counter labels.
    void unitCountersStep();
    // For "Mod Errors" on the statistics window.
    uint32_t sequenceErrorsTotal() const { return m_stream.totalSequenceErrors(); }
    // The Upload Logger Data tab became current: the display stops.
    void stopRawDisplay();
    // The port test shows what the logger's line brings: the "Raw Logger Data" source.
    void showRawLoggerData();

    // Host setup file: the raw display's source, logger ID and port (line 13, values 2 to 4).
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;

    // Handlers, named after the controls they serve.
    void RawPortCBChange();
    void BTDisplayRawClick();
    void BTResetCountersClick();
    void BTSendTextClick();
    void EditSendTextReturn();

private:
    void sendTyped(bool withLineEnd);
    void showNewLines();

    HostServices& m_services;
    RealTimePage* m_page;
    MuxStream m_stream;
    RawDisplayLines m_lines;
    RawDisplayBuffer m_loggerBytes;
    RawDisplayBuffer m_pcLoggerRecords;
};

} // namespace cv
