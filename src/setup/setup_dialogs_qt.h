#pragma once
// The setup screen's windows: the sleep window, the firmware warning and the logger ID window,
// and where the last two open so that neither covers the other.
#include <QString>

class QWidget;

namespace cv {

struct HostServices;
class FirmwareWarningDialog;
class LoggerIdDialog;
class SleepDialog;

class SetupDialogs {
public:
    // The windows are children of `mainWindow` and open over its halves.
    SetupDialogs(QWidget* mainWindow, HostServices& services);

    SleepDialog* sleep() const { return m_sleep; }
    FirmwareWarningDialog* firmwareWarning() const { return m_firmware; }
    LoggerIdDialog* loggerId() const { return m_loggerId; }

    void openSleep();
    // Over the right half of the window, clear of the firmware warning.
    void openLoggerId();
    // The logger's ID as a status reports it; a logger that asks for an ID opens the window
    // (raised only when it opens: raised on every status it would hide the firmware warning and
    // pull the operator away from whatever window he works in).
    void showLoggerId(int id, bool askForId);
    // Over the left half of the window, clear of the logger ID window.
    void showFirmwareWarning(const QString& text);

private:
    // Puts a dialog about to open over one half of the main window, clear of `other`.
    void placeApart(QWidget* dialog, const QWidget* other, bool leftHalf) const;

    QWidget* m_window;
    SleepDialog* m_sleep;
    FirmwareWarningDialog* m_firmware;
    LoggerIdDialog* m_loggerId;
};

} // namespace cv
