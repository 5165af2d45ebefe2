#pragma once
// "Logger Control": the sampling schedule, the operating mode, output and storage, the
// low-voltage cut-off and analog rate, and the buttons that start, stop and sleep the logger.
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace cv {

class LoggerControlPage : public QWidget {
    Q_OBJECT
public:
    explicit LoggerControlPage(QWidget* parent = nullptr);

    // Schedule rows in record order: delay, pre-flush, warm-up, flush, sample, interval. Each
    // spinner's own edit field carries the Edit name (DelayEdit, ...).
    std::array<QLabel*, 6> scheduleLabels{};    // LBDelay .. LBSampleInterval
    std::array<QSpinBox*, 6> scheduleUD{};      // DelayUD .. IntervalUD
    std::array<QLineEdit*, 6> scheduleEdit{};   // DelayEdit .. IntervalEdit
    std::array<QComboBox*, 6> scheduleCombo{};  // DelayCombo .. IntervalCombo
    QLabel* LBSampleInterval = nullptr;

    QLabel* ModeLB = nullptr;
    QComboBox* ModeCB = nullptr;
    QLabel* OutputLB = nullptr;
    QComboBox* OutputCB = nullptr;
    QLabel* FileLB = nullptr;
    QComboBox* FileCB = nullptr;
    QLabel* TimeSourceLB = nullptr;
    QComboBox* TimeSourceCB = nullptr;
    QCheckBox* CBAutoStart = nullptr;

    QSpinBox* UDLVCutOff = nullptr;
    QLabel* LBLowVoltage = nullptr;
    QSpinBox* UDAnalogRate = nullptr;
    QLabel* LBAnalogRate = nullptr;

    QGroupBox* GroupBox7 = nullptr;
    QPushButton* BTBegin = nullptr;
    QPushButton* BTStop = nullptr;
    QPushButton* BTSleep = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* BTGetSetup2 = nullptr;
    QPushButton* BTSendSetup2 = nullptr;
    // Beside Send: what became of the last Send Setup. Below: the host port's room for the setup.
    QLabel* LBSetupSent = nullptr;
    QLabel* LBLineCapacity = nullptr;
};

} // namespace cv
