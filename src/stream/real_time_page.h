#pragma once
// The "Real Time Data" tab page: the raw display memo with its source choice, the text line to
// the logger, the per-unit counters, and a row for the polled wake and sleep buttons, which
// the setup screen owns and shows.
#include <QWidget>

class QComboBox;
class QHBoxLayout;
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

    // Puts the polled wake and sleep buttons into their row above the display.
    void placePolledButtons(QWidget* buttons);

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

private:
    QHBoxLayout* m_polledRow;
};

} // namespace cv
