#include "setup/setup_dialogs_qt.h"

#include <QLabel>

#include "setup/firmware_warning_dialog.h"
#include "setup/logger_id_dialog.h"
#include "setup/sleep_dialog.h"
#include "widgets/host_services.h"

namespace cv {

namespace {
constexpr int kTitleAllowance = 32;
constexpr int kFrameAllowance = 8;
} // namespace

SetupDialogs::SetupDialogs(QWidget* mainWindow, HostServices& services)
    : m_window(mainWindow),
      m_sleep(new SleepDialog(services, mainWindow)),
      m_firmware(new FirmwareWarningDialog(mainWindow)),
      m_loggerId(new LoggerIdDialog(services.commands, mainWindow)) {}

void SetupDialogs::openSleep() {
    m_sleep->show();
    m_sleep->raise();
}

void SetupDialogs::openLoggerId() {
    placeApart(m_loggerId, m_firmware, false);
    m_loggerId->show();
    m_loggerId->raise();
}

void SetupDialogs::showLoggerId(int id, bool askForId) {
    m_loggerId->showCurrentId(id);
    if (askForId && !m_loggerId->isVisible()) openLoggerId();
}

void SetupDialogs::showFirmwareWarning(const QString& text) {
    m_firmware->WarningText->setText(text);  // sized by its text when placed
    placeApart(m_firmware, m_loggerId, true);
    m_firmware->showWarning(text);
}

void SetupDialogs::placeApart(QWidget* dialog, const QWidget* other, bool leftHalf) const {
    // An open window stays where it is (the operator may have moved it).
    if (dialog->isVisible()) return;
    dialog->adjustSize();
    const QRect area = m_window->frameGeometry();
    // The frame the window manager adds is not known before the first show.
    const QSize size = dialog->size() + QSize(2 * kFrameAllowance, kTitleAllowance + kFrameAllowance);
    auto at = [&](int quarter) {
        return QRect(QPoint(area.left() + area.width() * quarter / 4 - size.width() / 2,
                            area.center().y() - size.height() / 2),
                     size);
    };
    QRect spot = at(leftHalf ? 1 : 3);
    if (other && other->isVisible() && spot.intersects(other->frameGeometry())) {
        spot = at(leftHalf ? 3 : 1);
        if (spot.intersects(other->frameGeometry()))
            spot.moveTop(other->frameGeometry().bottom() + 1 + kFrameAllowance);
    }
    dialog->move(spot.topLeft());
}

} // namespace cv
