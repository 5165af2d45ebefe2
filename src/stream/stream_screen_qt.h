#pragma once
// The stream screen controller: shows the live stream on the Real Time Data page. Its raw display
// tap and plot model take the stream's records once whoever owns the stream registers them; the
// memo is fed from its three sources on the 5 ms tick, the per-unit counters shown once a second,
// and typed text and the polled wake and sleep go to the logger.
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
    StreamScreen(QWidget* window, HostServices& services, PacketReceiver& receiver, MuxStream& stream);
    ~StreamScreen() override;

    RealTimePage* page() const { return m_page; }
    MuxStream& stream() { return m_stream; }
    PlotPanel* plot() const;
    // The stream consumers this screen shows from: the raw display's Parsed Data and the plot.
    StreamConsumer& rawDisplayTap() { return m_parsed; }
    plot::PlotModel& plotModel() { return m_plotModel; }
    // The PC logger's own records, for the "Raw PC Logger Data" source.
    void onPcLoggerRecordMade(const uint8_t* record, size_t length);

    // 5 ms tick, last step: what the three sources gathered goes to the memo.
    void rawDisplayStep();
    // 1000 ms tick: the unit counter labels.
    void unitCountersStep();
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
    MuxStream& m_stream;
    ParsedDataTap m_parsed;
    plot::PlotModel m_plotModel;
    QPointer<PlotPanel> m_plot;  // the tab widget may delete the page, and the panel with it, first
    RawDisplayLines m_lines;
    RawDisplayBuffer m_loggerBytes;
    RawDisplayBuffer m_pcLoggerRecords;
};

} // namespace cv
