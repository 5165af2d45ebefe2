#pragma once
// TTestPortForm: asks the logger to test one of its instrument ports and shows what comes back
// on the Real Time Data page. It stays on top and leaves the main window usable.
#include <QDialog>
#include <functional>

#include "ports/operator_dialogs.h"

class QComboBox;
class QPushButton;

namespace cv {

class TTestPortForm : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        std::function<bool(const uint8_t*, size_t)> send;  // the block to the logger port
        std::function<void()> showRawLoggerData;           // Real Time Data shown, raw logger source
        std::function<void()> stop;                        // the main window's Stop
        std::function<void()> closed;
    };
    TTestPortForm(WarningBox& warnings, Hooks hooks, QWidget* parent = nullptr);

    void FormCreate();
    void BTTestPortClick();
    void BTStopTestClick();

    QComboBox* CBTestPort;
    QComboBox* CBTestPortSetup;
    QComboBox* CBHostPortSetup;
    QPushButton* BTTestPort;
    QPushButton* BTStopTest;

private:
    WarningBox& m_warnings;
    Hooks m_hooks;
};

} // namespace cv
