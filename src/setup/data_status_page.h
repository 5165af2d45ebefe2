#pragma once
// "Data Status": per-port rates and file sizes of the run being recorded, the live analog
// readings, and the traffic of the PC logger's own ports.
#include <QWidget>
#include <array>

class QLabel;

namespace cv {

class DataStatusPage : public QWidget {
    Q_OBJECT
public:
    explicit DataStatusPage(QWidget* parent = nullptr);

    // Port n (0-based here): MnLabel, MnTypeLabel, MnBPSLabel, MnStatusLabel, MnFSLabel, MnFileSizeLabel.
    std::array<QLabel*, 8> MLabel{};
    std::array<QLabel*, 8> MTypeLabel{};
    std::array<QLabel*, 8> MBPSLabel{};
    std::array<QLabel*, 8> MStatusLabel{};
    std::array<QLabel*, 8> MFSLabel{};
    std::array<QLabel*, 8> MFileSizeLabel{};

    QLabel* LBAnalog = nullptr;
    std::array<QLabel*, 7> LBA{};     // LBA1..7
    std::array<QLabel*, 7> Analog{};  // Analog1..7
    QLabel* AnalogFS = nullptr;
    QLabel* AnalogFileSizeLabel = nullptr;

    QLabel* DSPCPorts = nullptr;
    std::array<QLabel*, 8> DSPCPort{};  // DSPCPort1..8

    // The six labels of port n, for showing or hiding the row.
    std::array<QLabel*, 6> portRow(int n) const;

    // The PC logger's traffic on its line (1..8): shown while the line is in use, red while it
    // drops bytes; the heading shows while any line does.
    void showPcLoggerTraffic(int line, const QString& text, bool inUse, bool dropping);

private:
    std::array<bool, 8> m_pcPortDropping{};  // DSPCPort painted red
};

} // namespace cv
