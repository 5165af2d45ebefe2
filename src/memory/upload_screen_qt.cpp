#include "memory/upload_screen_qt.h"

#include <QLabel>
#include <algorithm>
#include <climits>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "widgets/host_services.h"
#include "memory/upload_page.h"

namespace cv {

namespace {
template <typename T>
T* find(QWidget* window, const char* name) {
    T* widget = window->findChild<T*>(name);
    Q_ASSERT_X(widget, "UploadScreen", name);
    return widget;
}

void connectButton(QWidget* window, const char* name, UploadScreen* screen, void (UploadScreen::*handler)()) {
    if (auto* button = find<QPushButton>(window, name))
        QObject::connect(button, &QPushButton::clicked, screen, handler);
}
} // namespace

UploadScreen::UploadScreen(QWidget* mainWindow, HostServices& services, ExtractRunFile extract,
                           std::function<void(bool)> setTimeoutEnabled)
    : QObject(mainWindow),
      m_services(services),
      m_setTimeoutEnabled(std::move(setTimeoutEnabled)),
      m_profiles(find<QListWidget>(mainWindow, "LBProfiles")),
      m_progress(find<QProgressBar>(mainWindow, "UpLoadPB")),
      m_uploadRun(find<QLabel>(mainWindow, "UpLoadRun")),
      m_uploadSize(find<QLabel>(mainWindow, "UpLoadSize")),
      m_status(find<QLabel>(mainWindow, "CSError")),
      m_extractChoice(find<RadioGroup>(mainWindow, "ExtractFilesRG")),
      m_directory(services.warnings, *this),
      m_session(m_directory, services.commands, services.warnings, services.dialogs, *this, std::move(extract)) {
    connectButton(mainWindow, "BTGetDirectory", this, &UploadScreen::BTGetDirectoryClick);
    connectButton(mainWindow, "BTUpload", this, &UploadScreen::BTUploadClick);
    connectButton(mainWindow, "BTCancelUpload", this, &UploadScreen::BTCancelUploadClick);
    connectButton(mainWindow, "BTClearMemory", this, &UploadScreen::BTClearMemoryClick);
    connectButton(mainWindow, "BTExtract", this, &UploadScreen::BTExtractClick);
}

UploadScreen::~UploadScreen() = default;

void UploadScreen::onDirectoryEntry() { m_directory.entryArrived(m_services.records.directoryEntry); }

void UploadScreen::onUploadBlock() { m_session.blockArrived(m_services.records.uploadBlock); }

void UploadScreen::secondTick() { m_session.supervisionTick(); }

void UploadScreen::timeoutTick() { m_session.timeoutTick(); }

void UploadScreen::clearRunList() { m_session.clearRunList(); }

void UploadScreen::BTGetDirectoryClick() {
    m_session.getDirectory(m_services.facts.state, m_services.facts.deviceName);
}

void UploadScreen::BTUploadClick() {
    std::vector<int> rows;
    if (m_profiles)
        for (int i = 0; i < m_profiles->count(); ++i)
            if (m_profiles->item(i)->isSelected()) rows.push_back(i);
    m_session.queueSelection(rows, m_extractChoice ? m_extractChoice->itemIndex() : -1);
}

void UploadScreen::BTCancelUploadClick() { m_session.cancel(); }

void UploadScreen::BTClearMemoryClick() { m_session.clearMemory(); }

void UploadScreen::BTExtractClick() { m_session.extractOnDemand(m_extractChoice ? m_extractChoice->itemIndex() : -1); }

void UploadScreen::setProgressMaximum(long maximum) {
    if (!m_progress) return;
    m_progress->setMaximum(int(std::clamp<long>(maximum, 0, long(INT_MAX))));
}

void UploadScreen::setProgressPosition(long position) {
    // A run that outgrows its directory size keeps the bar full instead of freezing it.
    if (m_progress) m_progress->setValue(int(std::clamp<long>(position, m_progress->minimum(), m_progress->maximum())));
}

void UploadScreen::setUploadRunText(const std::string& text) {
    if (m_uploadRun) m_uploadRun->setText(QString::fromStdString(text));
}

void UploadScreen::setUploadSizeText(const std::string& text) {
    if (m_uploadSize) m_uploadSize->setText(QString::fromStdString(text));
}

void UploadScreen::setStatusText(const std::string& text) {
    if (m_status) m_status->setText(QString::fromStdString(text));
}

void UploadScreen::setTimeoutEnabled(bool enabled) {
    if (m_setTimeoutEnabled) m_setTimeoutEnabled(enabled);
}

void UploadScreen::appendRow(const std::string& text) {
    if (m_profiles) m_profiles->addItem(QString::fromStdString(text));
}

void UploadScreen::clearRows() {
    if (m_profiles) m_profiles->clear();
}

} // namespace cv
