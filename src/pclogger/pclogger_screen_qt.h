#pragma once
// The PC logger screen controller: the PC-Logger page, the PC logger's own records on the fast
// tick, the logger-output lines fed by the stream, the traffic labels of its page (and, through
// lineTrafficShown, wherever else the traffic shows), the annotation dialog whose remarks ride in
// the next record, and the PC logger's lines of the host setup file.
#include <QObject>
#include <array>
#include <functional>

#include "pclogger/annotation_queue.h"
#include "pclogger/pc_logger.h"
#include "protocol/host_setup_part.h"
#include "protocol/host_modes.h"

class QWidget;

namespace cv {

struct HostServices;
class MuxStream;
class PcLoggerPage;
class PortMap;
class PortSlotTable;
class TAnnotationForm;

// The PC logger this screen runs, and where its records go.
struct PcLoggerLinks {
    pclogger::PcLogger& logger;                                 // forwards the stream to its output lines
    MuxStream& stream;                                          // accepts, forwards, records
    std::function<void(const uint8_t*, size_t)> showRawRecord;  // "Raw PC Logger Data"
};

class PcLoggerScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds the PC-Logger page and the annotation dialog under `window`.
    PcLoggerScreen(QWidget* window, HostServices& services, PortSlotTable& ports, PcLoggerLinks links,
                   const PortMap* portMap);
    ~PcLoggerScreen() override;

    PcLoggerPage* page() const { return m_page; }
    TAnnotationForm* annotationForm() const { return m_annotation; }
    pclogger::PcLogger& logger() { return m_links.logger; }

    // 5 ms tick, after the receive step: a record when its interval has passed.
    void pcLoggerStep();
    // 1000 ms tick: the traffic labels, and lost ports tried again.
    void trafficStep();
    // A host mode that shuts the PC ports closes slots 1..8.
    void applyHostMode(const hostmode::Layout& layout);

    // HostSetupPart: lines 14 to 19 and 22.
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;

    // Handlers, named after the controls they serve.
    void PortType1CBChange();
    void UDDeckTypeClick(int line);
    void UDOutPortClick(int line);
    void UDDeckRateClick();
    void BTLoadDeckClick();
    void BTRestoreDeckClick();
    void CloseAllSurfacePortsClick();
    void MenuAnnotateFileClick();
    // COM n opens another device now: the COM boxes show it, and a line open on it opens again.
    void followPortMap(int comNumber);
    // Beside the logger's own port in each line's list of PC ports.
    static constexpr const char* kLoggerPortMark = "  (logger port)";

signals:
    // Once a second for each line (1..8): its traffic text, whether the line is in use, and
    // whether it dropped bytes in that second.
    void lineTrafficShown(int line, const QString& text, bool inUse, bool dropping);
    // The operator asked for the Port Map window (the Logger_Port menu is hidden in this mode).
    void portMapWanted();

private:
    struct LoadedLine {
        pclogger::Line line;
        int com = 0;
        int speed = 0;
    };
    void showPcLoggerLines();
    void paintLine(int n);
    pclogger::Line lineFromControls(int n) const;
    void showNotLoaded(bool shown);
    using LineCounts = std::array<unsigned, pclogger::kLines>;
    void setTrafficTexts(const LineCounts& in, const LineCounts& out, const LineCounts& dropped);

    PortSlotTable& m_ports;
    const PortMap* m_portMap;
    PcLoggerLinks m_links;
    PcLoggerPage* m_page;
    AnnotationQueue m_annotations;
    TAnnotationForm* m_annotation;
    std::array<LoadedLine, pclogger::kLines> m_lastLoaded{};
    void markLoggerPort(bool always);
    int m_loggerCom = 0;  // the port marked as the logger's in the lines' lists
    std::array<bool, pclogger::kLines> m_portFault{};  // would not open at load, or lost since
    std::array<bool, pclogger::kLines> m_shownDropping{};  // traffic labels painted red
    int m_previousRate = -1;
};

} // namespace cv
