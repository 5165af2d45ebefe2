#include "memory/upload_screen_qt.h"

#include <QAction>
#include <QLabel>
#include <algorithm>
#include <climits>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "extract/warning_sink.h"
#include "link/receiver.h"
#include "widgets/host_services.h"
#include "memory/upload_page.h"
#include "widgets/radio_group.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
void connectButton(QPushButton* button, UploadScreen* screen, void (UploadScreen::*handler)()) {
    QObject::connect(button, &QPushButton::clicked, screen, handler);
}
} // namespace

UploadScreen::UploadScreen(QWidget* mainWindow, HostServices& services, const PacketReceiver& receiver,
                           std::function<void(bool)> setTimeoutEnabled, ExtractRunFile extract)
    : QObject(mainWindow),
      m_services(services),
      m_receiver(receiver),
      m_page(new UploadPage(mainWindow)),
      m_setTimeoutEnabled(std::move(setTimeoutEnabled)),
      m_profiles(m_page->LBProfiles),
      m_progress(m_page->UpLoadPB),
      m_uploadRun(m_page->UpLoadRun),
      m_uploadSize(m_page->UpLoadSize),
      m_status(m_page->CSError),
      m_result(m_page->UpLoadResult),
      m_extractChoice(m_page->ExtractFilesRG),
      m_extractRun(extract ? std::move(extract)
                           : [this](const std::filesystem::path& file, int choice, WarningSink& warnings,
                                    const std::function<void(int)>& progress) {
                                 return extractRunFile(file, choice, warnings, progress);
                             }),
      m_directory(services.warnings, *this),
      m_session(m_directory, services.commands, services.warnings, services.dialogs, *this, m_extractRun,
                &services.automaticCommands()),
      m_memoryCommands(m_session, m_directory, services.commands, services.warnings, services.dialogs),
      m_onDemandExtraction(m_session, services.warnings, services.dialogs, *this, m_extractRun) {
    // The lane's thread may only ask for a call on this one.
    m_session.fileLane().setAnswerReady(
        [this] { QMetaObject::invokeMethod(this, &UploadScreen::collectFileWork, Qt::QueuedConnection); });
    connectButton(m_page->BTGetDirectory, this, &UploadScreen::BTGetDirectoryClick);
    connectButton(m_page->BTUpload, this, &UploadScreen::BTUploadClick);
    connectButton(m_page->BTCancelUpload, this, &UploadScreen::BTCancelUploadClick);
    connectButton(m_page->BTClearMemory, this, &UploadScreen::BTClearMemoryClick);
    connectButton(m_page->BTExtract, this, &UploadScreen::BTExtractClick);
    if (QAction* debug = services.menu.ToggleDebug)
        connect(debug, &QAction::triggered, this, &UploadScreen::ToggleDebugClick);
}

void UploadScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    if (number == hostline::kExtraction) v.at(0) = m_extractChoice->itemIndex();
}

// The choice is read from the group at each extraction, so setting it is enough.
void UploadScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad&) {
    if (number == hostline::kExtraction) m_extractChoice->setItemIndex(v.at(0));
}

ExtractionResult UploadScreen::extractRunFile(const std::filesystem::path& file, int choice, WarningSink& warnings,
                                              const std::function<void(int)>& progress) {
    ExtractOptions options;
    options.debugListing = m_debugListing;
    options.progress = progress;
    return cv::extractRunFile(file, choice == 1 ? ExtractChoice::ArchivePlusRaw : ExtractChoice::ArchiveOnly, options,
                              m_extraction, warnings);
}

void UploadScreen::collectFileWork() {
    m_onDemandExtraction.relay();
    m_session.poll();
}

void UploadScreen::ToggleDebugClick() {
    m_debugListing = !m_debugListing.load();
    if (QAction* debug = m_services.menu.ToggleDebug) debug->setChecked(m_debugListing);
}

void UploadScreen::setDeviceCaptions(const QString& clearMemory, const QString& getDirectory) {
    m_page->BTClearMemory->setText(clearMemory);
    m_page->BTGetDirectory->setText(getDirectory);
}

// Nothing on the lane may call back once the members it reports to start going.
UploadScreen::~UploadScreen() { m_session.fileLane().waitIdle(); }

void UploadScreen::onDirectoryEntry() { m_directory.entryArrived(m_services.records.directoryEntry); }

void UploadScreen::onUploadBlock() { m_session.blockArrived(m_services.records.uploadBlock); }

void UploadScreen::secondTick() {
    collectFileWork();
    m_session.supervisionTick();
}

void UploadScreen::timeoutTick() {
    // A block still coming in at a slow line speed is no silence: counting it would repeat the
    // request across the block, and a logger that restarts the run would send its start twice.
    if (m_receiver.receivingPacket(4)) return;
    m_session.timeoutTick();
}

void UploadScreen::followLoggerIdentity(LoggerIdentityState state) {
    // A transfer in progress ends by its own timeout; its rows are what it works through.
    if (state != LoggerIdentityState::OtherLogger || m_session.transferRunning()) return;
    m_directory.reset();
    m_directory.clearRows();
}

void UploadScreen::BTGetDirectoryClick() {
    m_memoryCommands.getDirectory(m_services.facts.state, m_services.facts.deviceName);
}

void UploadScreen::BTUploadClick() {
    std::vector<int> rows;
    if (m_profiles)
        for (int i = 0; i < m_profiles->count(); ++i)
            if (m_profiles->item(i)->isSelected()) rows.push_back(i);
    m_session.queueSelection(rows, m_extractChoice ? m_extractChoice->itemIndex() : -1);
}

void UploadScreen::BTCancelUploadClick() { m_session.cancel(); }

void UploadScreen::BTClearMemoryClick() { m_memoryCommands.clearMemory(); }

void UploadScreen::BTExtractClick() {
    m_onDemandExtraction.extractChosenFile(m_extractChoice ? m_extractChoice->itemIndex() : -1);
}

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

void UploadScreen::setTimeLeftText(const std::string& text) {
    if (!m_progress) return;
    const QString left = QString::fromStdString(text);
    m_progress->setFormat(left.isEmpty() ? QString("%p%") : "%p%   " + left);
    tellState(m_progress, left);
}

void UploadScreen::setStatusText(const std::string& text) {
    if (m_status) m_status->setText(QString::fromStdString(text));
}

void UploadScreen::setResultText(const std::string& text) {
    if (!m_result) return;
    m_result->setText(QString::fromStdString(text));
    m_result->setToolTip(m_result->text());  // a long folder may not fit the page
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
