#pragma once
// The Logger Status box of the main window's left column: a yellow 20-pixel strip until the
// first status arrives, then the logger's state, clock, supply, memory, run and modes.
#include <QGroupBox>

class QLabel;

namespace cv {

class LoggerStatusPanel : public QGroupBox {
    Q_OBJECT
public:
    // Values that no longer follow the logger (its port is lost) are greyed, not shown as current.
    void showStale(bool stale);
    static constexpr int kCollapsedHeight = 20;
    static constexpr int kReportingHeight = 280;

    explicit LoggerStatusPanel(QWidget* parent = nullptr);

    void showStartUpLook();    // 20 pixels high, yellow, contents hidden
    void showReportingLook();  // 280 pixels high, button face, contents shown
    // While an archive replay runs no status is read: the caption says so.
    void showReplayRunning(bool running);
    static constexpr const char* kCaption = "Logger Status";
    static constexpr const char* kReplayCaption = "Logger Status: replay running";

    QLabel* LBOperation = nullptr;
    QLabel* LBDandT = nullptr;
    QLabel* LBDrift = nullptr;
    QLabel* LBTimeLeft = nullptr;
    QLabel* LBCurrentV = nullptr;
    QLabel* LBStartV = nullptr;
    QLabel* LBEndV = nullptr;
    QLabel* LBFreeDisk = nullptr;
    QLabel* LBTotalDisk = nullptr;
    QLabel* LBRunStop = nullptr;
    QLabel* LBRunNumber = nullptr;
    QLabel* LBRunSize = nullptr;
    QLabel* LBPower = nullptr;
    QLabel* HostType = nullptr;
    QLabel* HostMode = nullptr;
    QLabel* LoggerMode = nullptr;

private:
    QWidget* m_body = nullptr;
};

} // namespace cv
