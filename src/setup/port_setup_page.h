#pragma once
// "Port Setup": what is attached to each logger port and at what speed, the analog channels,
// the pumps and the once-per-hour column of the moored modes.
#include <QWidget>
#include <array>

#include "base/logger_codes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace cv {

class PortSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit PortSetupPage(QWidget* parent = nullptr);

    QLabel* LBSerial = nullptr;
    QLabel* LBMeterTypeHeading = nullptr;
    QLabel* LBBaudRateHeading = nullptr;
    std::array<QLabel*, kLoggerSerialPorts> LBS{};                 // LBS1..LBS8
    std::array<QComboBox*, kLoggerSerialPorts> ComboMeter{};       // ComboMeter1..8
    std::array<QComboBox*, kLoggerSerialPorts> CBPortSetup{};      // CBPort1Setup..CBPort8Setup
    std::array<QCheckBox*, kLoggerSerialPorts> SOPH{};             // SOPH1..8
    QLabel* SOPHLB1 = nullptr;
    QLabel* SOPHLB2 = nullptr;
    QLabel* LBHostPort = nullptr;
    QComboBox* CBHostPortSetup = nullptr;

    QLabel* LBAnalogSetup = nullptr;
    std::array<QLabel*, kAnalogChannels> LBAnalog{};            // LBAnalog1..7
    std::array<QComboBox*, kAnalogChannels> CBAnalog{};         // CBAnalog1..7
    std::array<QCheckBox*, kAnalogChannels> AOPH{};             // AOPH1..7
    QLabel* AOPHLB1 = nullptr;
    QLabel* AOPHLB2 = nullptr;

    QLabel* LBPump = nullptr;
    std::array<QLabel*, kPumps> LBPumps{};             // LBPump1..4
    std::array<QComboBox*, kPumps> CBPump{};           // CBPump1..4
    std::array<QCheckBox*, kPumps> POPH{};             // POPH1..4
    QLabel* POPHLB1 = nullptr;
    QLabel* POPHLB2 = nullptr;

    QPushButton* BTGetSetup1 = nullptr;
    QPushButton* BTSendSetup1 = nullptr;
    // Beside Send: what became of the last Send Setup. Below: the host port's room for the setup.
    QLabel* LBSetupSent = nullptr;
    QLabel* LBLineCapacity = nullptr;
};

} // namespace cv
