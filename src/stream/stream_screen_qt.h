#pragma once
// The stream screen controller: owns the live stream, takes every mux record the receiver
// frames (and the PC logger's own), feeds the Real Time Data page's memo from its three sources on the 5 ms
// tick, shows the per-unit counters once a second and sends typed text and the polled wake and
// sleep to the logger.
#include <QObject>
#include <QPointer>

#include "stream/mux_stream.h"
#include "stream/plot_model.h"
#include "protocol/host_setup_part.h"

class QWidget;

namespace cv {

struct HostServices;
class PacketReceiver;
class PlotPanel;
class RealTimePage;

class StreamScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds the Real Time Data page under `window` and taps the receiver's logger bytes.
    StreamScreen(QWidget* window, HostServices& services, PacketReceiver& receiver);
    ~StreamScreen() override;

    RealTimePage* page() const { return m_page; }
    MuxStream& stream() { return m_stream; }
    PlotPanel* plot() const;

    // The receiver's hand-over of a framed mux record.
    void onMuxRecord(uint8_t* record, size_t length);
    // The PC logger's own records, for the "Raw PC Logger Data" source.
    void onPcLoggerRecordMade(const uint8_t* record, size_t length);

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
    // The polled wake and sleep buttons, shown while the chosen logger mode is polled moored.
    void showPolledButtons(bool shown);

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
    ParsedDataTap m_parsed;
    plot::PlotModel m_plotModel;
    QPointer<PlotPanel> m_plot;  // the tab widget may delete the page, and the panel with it, first
    RawDisplayLines m_lines;
    RawDisplayBuffer m_loggerBytes;
    RawDisplayBuffer m_pcLoggerRecords;
};

} // namespace cv
