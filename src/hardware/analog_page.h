#pragma once
// The "Analog Calibration" page (TSAnalog): a scale and an offset for the battery input and each
// analog input, in masked boxes.
#include <QWidget>
#include <array>

#include "hardware/analog_calibration.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cv {

class AnalogPage : public QWidget {
    Q_OBJECT
public:
    static const char* const kCaption;
    explicit AnalogPage(QWidget* parent = nullptr);

    QGroupBox* GroupBox2;
    std::array<QLineEdit*, hardware::kCalibrationEntries> MEScale;
    std::array<QLineEdit*, hardware::kCalibrationEntries> MEOffset;
    QLabel* AnalogPanel;
    QLineEdit* ALGPassword;
    QLabel* LBALGPassword;
    QPushButton* BTGetAnalog;
    QPushButton* BTSendAnalogCalibration;
    QPushButton* BTLoadAnalogFile;
    QPushButton* BTSaveAnalogFile;
    QPushButton* BTDoneWithAnalog;
    QLabel* LBAnalogSent;  // what became of the last Send Analog Calibration
};

} // namespace cv
