#pragma once
// "Data Status": per-port rates and file sizes of the run being recorded, the live analog
// readings, and the traffic of the PC logger's own ports.
#include <QWidget>
#include <array>

#include "base/logger_codes.h"
#include "link/port_slots.h"

class QLabel;

namespace cv {

class DataStatusPage : public QWidget {
    Q_OBJECT
public:
    explicit DataStatusPage(QWidget* parent = nullptr);

    // Port n (0-based here): MnLabel, MnTypeLabel, MnBPSLabel, MnStatusLabel, MnFSLabel, MnFileSizeLabel.
    std::array<QLabel*, kLoggerSerialPorts> MLabel{};
    std::array<QLabel*, kLoggerSerialPorts> MTypeLabel{};
    std::array<QLabel*, kLoggerSerialPorts> MBPSLabel{};
    std::array<QLabel*, kLoggerSerialPorts> MStatusLabel{};
    std::array<QLabel*, kLoggerSerialPorts> MFSLabel{};
    std::array<QLabel*, kLoggerSerialPorts> MFileSizeLabel{};

    QLabel* LBAnalog = nullptr;
    std::array<QLabel*, kAnalogChannels> LBA{};     // LBA1..7
    std::array<QLabel*, kAnalogChannels> Analog{};  // Analog1..7
    QLabel* AnalogFS = nullptr;
    QLabel* AnalogFileSizeLabel = nullptr;

    QLabel* DSPCPorts = nullptr;
    std::array<QLabel*, kPcLoggerPorts> DSPCPort{};  // DSPCPort1..8

    // The six labels of port n, for showing or hiding the row.
    std::array<QLabel*, 6> portRow(int n) const;

    // The PC logger's traffic on its line (1..8): shown while the line is in use, red while it
    // drops bytes; the heading shows while any line does.
    void showPcLoggerTraffic(int line, const QString& text, bool inUse, bool dropping);
    // The logger's port and analog values greyed while they may not be the logger's that answers
    // (the PC logger's own traffic stays as it is).
    void showStale(bool stale);

private:
    QWidget* m_loggerPorts = nullptr;
    QWidget* m_loggerAnalog = nullptr;
    std::array<bool, kPcLoggerPorts> m_pcPortDropping{};  // DSPCPort painted red
};

} // namespace cv
