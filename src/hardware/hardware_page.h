#pragma once
// The "Hardware Configuration" page (TSHardware): what the logger is, its serial number, its
// switch and LED, and the relay feeding each port, channel and pump.
#include <QWidget>
#include <array>

#include "hardware/hardware_config.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace cv {

class HardwarePage : public QWidget {
    Q_OBJECT
public:
    static const char* const kCaption;
    explicit HardwarePage(QWidget* parent = nullptr);

    QComboBox* DeviceTypeCB;
    QSpinBox* UDSerialNumber;
    QComboBox* RunStopCB;
    QComboBox* StatusLEDCB;
    QGroupBox* GroupBox1;
    std::array<QComboBox*, hardware::kRelayBoxes> relays;  // RelaySP1..8, RelayAP1..7, RelayPP1..4
    QLabel* HardwarePanel;
    QLineEdit* HWPassword;
    QLabel* Labelxx;
    QPushButton* BTGetHardware;
    QPushButton* BTSendHardwareSetup;
    QPushButton* BTLoadHardwareFile;
    QPushButton* BTSaveHardwareFile;
    QPushButton* BTDoneWithHardware;
    QPushButton* BTKR8Defaults;
    QLabel* LBHardwareSent;  // what became of the last Send Hardware Configuration
};

} // namespace cv
