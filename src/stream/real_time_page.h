#pragma once
// The "Real Time Data" tab page: the raw display memo with its source choice, the text line to
// the logger, the per-unit counters, and the polled wake and sleep buttons, shown while the
// logger's mode is polled moored.
#include <QWidget>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace cv {

class RealTimePage : public QWidget {
    Q_OBJECT

public:
    explicit RealTimePage(QWidget* parent = nullptr);

    static const char* const kCaption;

    // The live plot goes above the memo and the counters.
    void placePlot(QWidget* plot);

    QPlainTextEdit* Memo1;
    QPushButton* BTDisplayRaw;
    QComboBox* RawSourceCB;
    QComboBox* RawPortCB;
    QSpinBox* RawMuxIDUD;
    QLabel* RawMuxIDLB;
    QLineEdit* EditSendText;
    QPushButton* BTSendText;
    QPushButton* BTResetCounters;
    QLabel* LBTimeUnit;
    QLabel* LBUnit1;
    QLabel* LBUnit2;
    QLabel* LBUnit3;
    QLabel* LBUnit4;
    QPushButton* Button3;  // polled wake
    QPushButton* Button4;  // polled sleep

private:
    QGridLayout* m_grid;
};

} // namespace cv
