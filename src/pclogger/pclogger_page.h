#pragma once
// "PC-Logger": eight lines, each giving one PC serial port a function (meter input or logger
// output), with the rate of the PC logger's own records and the buttons that load the setup.
#include <QWidget>
#include <array>

#include "pclogger/pc_logger.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace cv {

class PortMap;

class PcLoggerPage : public QWidget {
    Q_OBJECT
public:
    explicit PcLoggerPage(const PortMap* portMap, QWidget* parent = nullptr);
    // A group of another subsystem's that belongs on this page, below its own controls.
    void addGroup(QWidget* group);

    // Line n (0-based here): PortType<n+1>CB, DeckPort<n+1>CB, ...
    std::array<QLabel*, pclogger::kLines> LBLine{};  // "Line k:", with its PC port once it has one
    std::array<QComboBox*, pclogger::kLines> PortTypeCB{};
    std::array<QComboBox*, pclogger::kLines> DeckPortCB{};
    std::array<QComboBox*, pclogger::kLines> DeckSetupCB{};
    std::array<QSpinBox*, pclogger::kLines> UDDeckType{};
    std::array<QLabel*, pclogger::kLines> LBDeckType{};
    std::array<QSpinBox*, pclogger::kLines> UDOutPort{};
    std::array<QLabel*, pclogger::kLines> PCOutPort{};
    std::array<QLabel*, pclogger::kLines> PCPort{};

    QGroupBox* GroupBox9 = nullptr;
    QSpinBox* UDDeckRate = nullptr;
    QLabel* LBDeckRate = nullptr;
    QLabel* LBDeckInterval = nullptr;
    QCheckBox* CBRecordPCTime = nullptr;
    QPushButton* BTLoadDeck = nullptr;
    QPushButton* BTRestoreDeck = nullptr;
    QPushButton* BTClearDeck = nullptr;
    QPushButton* BTPortMap = nullptr;
    QLabel* PCLoggerPanel = nullptr;
    QLabel* PCInHdr = nullptr;
    QLabel* PCOutHdr = nullptr;
};

} // namespace cv
