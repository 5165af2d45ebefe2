#include "archive/recording_screen_qt.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "archive/record_page.h"
#include "base/text_format.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/page_tabs.h"
#include "widgets/widget_helpers.h"

namespace cv {

using namespace recording;

RecordingScreen::RecordingScreen(QWidget* window, HostServices& services, PageTabs& tabs, ArchiveRecorder& recorder,
                                 ArchiveReplay& replay)
    : QObject(window), m_services(services), m_tabs(tabs), m_page(new RecordPage(window)), m_recorder(recorder),
      m_replay(replay) {
    auto connectButton = [this](QPushButton* b, void (RecordingScreen::*handler)()) {
        connect(b, &QPushButton::clicked, this, handler);
    };
    connectButton(m_page->BTRecordArchive, &RecordingScreen::BTRecordArchiveClick);
    connectButton(m_page->BTRecord1Hour, &RecordingScreen::BTRecord1HourClick);
    connectButton(m_page->BTRecord1Day, &RecordingScreen::BTRecord1DayClick);
    connectButton(m_page->BTStopRecord, &RecordingScreen::BTStopRecordClick);
    connectButton(m_page->ReplayArchiveBT, &RecordingScreen::ReplayArchiveBTClick);
    connectButton(m_page->ReplayContinuousBT, &RecordingScreen::ReplayContinuousBTClick);
    connect(m_page->ReplaySpeedUD, &QSpinBox::valueChanged, this, [this](int speed) { m_replay.setSpeed(speed); });
    m_replay.setSpeed(m_page->ReplaySpeedUD->value());
}

RecordingScreen::~RecordingScreen() = default;

RecordingMode RecordingScreen::recordingMode() const {
    if (m_replay.mode() != kOff) return m_replay.mode();
    return m_recorder.mode();
}

void RecordingScreen::SetRecordButtons(bool enabled) {
    for (QPushButton* b : {m_page->BTRecordArchive, m_page->BTRecord1Hour, m_page->BTRecord1Day,
                           m_page->ReplayArchiveBT, m_page->ReplayContinuousBT})
        b->setEnabled(enabled);
}

void RecordingScreen::BTRecordArchiveClick() {
    const char* const title = "Record Continuous Archive";
    const auto path = m_services.dialogs.chooseSaveFile({title, "", "", false});
    if (!path || !mayReplaceFile(m_services.dialogs, title, *path)) return;
    if (!m_recorder.startContinuous(*path)) return;
    m_replay.stop();
    m_sizeFromReplay = false;
    m_page->LBArchiveFileName->setText(qs(m_recorder.fileNameText()));
    SetRecordButtons(false);
    showStatus();
}

void RecordingScreen::BTRecord1HourClick() { startPeriodic(kHourly, "Record 1 Hour Archive"); }
void RecordingScreen::BTRecord1DayClick() { startPeriodic(kDaily, "Record 1 Day Archive"); }

void RecordingScreen::startPeriodic(RecordingMode mode, const char* title) {
    // A base name, not the file: the hour's or day's file is added to, never replaced.
    const auto path = m_services.dialogs.chooseSaveFile({title, "", "", false});
    if (!path) return;
    if (!m_recorder.startPeriodic(mode, *path)) return;
    m_replay.stop();
    m_sizeFromReplay = false;
    m_page->LBArchiveFileName->setText(qs(m_recorder.fileNameText()));
    SetRecordButtons(false);
    showStatus();
}

void RecordingScreen::ReplayArchiveBTClick() { startReplay(kReplayOnce, "Open Archive For Replay"); }
void RecordingScreen::ReplayContinuousBTClick() {
    startReplay(kReplayContinuous, "Open Archive For Continuous Replay");
}

void RecordingScreen::startReplay(RecordingMode mode, const char* title) {
    FileChoice choice;
    choice.title = title;
    const auto path = m_services.dialogs.chooseOpenFile(choice);
    if (!path) return;
    // Opened and checked on the replay's own thread: a file on a share that stalls holds up
    // nothing else.
    if (!m_replay.start(*path, mode, true)) {
        m_services.warnings.show("Archive Replay",
                                 format("%s cannot be replayed: %s.", path->c_str(), m_replay.refusal().c_str()));
        return;
    }
    m_recorder.stop();
    m_sizeFromReplay = true;
    m_page->LBArchiveFileName->setText(qs(format("Archive File:  %s", path->c_str())));
    SetRecordButtons(false);
    showStatus();
}

void RecordingScreen::BTStopRecordClick() {
    const bool replaying = m_replay.mode() != kOff;
    m_recorder.stop();
    m_replay.stop();
    SetRecordButtons(true);
    showStatus();
    if (replaying && m_replay.skippedRecords() > 0)
        m_services.warnings.show("Archive Replay",
                                 format("Skipped %u record%s of %s: too long to replay.", m_replay.skippedRecords(),
                                        m_replay.skippedRecords() == 1 ? "" : "s", m_replay.fileName().c_str()));
}

void RecordingScreen::replayStopStep() {
    if (!m_replay.takeStopRequest()) return;
    BTStopRecordClick();
    // A storage slower than the start's wait refused the file only now.
    if (!m_replay.refusal().empty())
        m_services.warnings.show("Archive Replay", format("%s cannot be replayed: %s.", m_replay.fileName().c_str(),
                                                          m_replay.refusal().c_str()));
}

void RecordingScreen::recordStatusStep() {
    // A storage slower than the start's wait may refuse the file later: the recording is off.
    const bool recording = isRecording(m_recorder.mode());
    if (m_wasRecording && !recording && m_replay.mode() == kOff) SetRecordButtons(true);
    m_wasRecording = recording;
    // A new hour or day has a new name; show the file being written.
    if (m_recorder.mode() == kHourly || m_recorder.mode() == kDaily)
        m_page->LBArchiveFileName->setText(qs(m_recorder.fileNameText()));
    showStatus();
}

void RecordingScreen::showStatus() {
    const uint32_t failed = m_recorder.mode() != kOff ? m_recorder.failedWrites() : 0;
    std::string status = statusText(recordingMode(), m_replay.seconds(), failed);
    if (m_replay.mode() != kOff)
        status += replayProgressText(m_replay.recordsReplayed(), m_replay.readPosition(), m_replay.fileLength());
    // The status display and the stream tell replayed records from the logger's by this.
    m_services.facts.replayRunning = m_replay.mode() != kOff;
    const QString text = qs(status);
    // Records lost during this recording keep the status red, so an operator who looks in after
    // a night sees at once that the storage failed, even when it came back.
    const QColor colour = failed > 0 ? kRed : QColor();
    m_page->LBRecordStatus->setText(text);
    QPalette palette = m_page->LBRecordStatus->palette();
    palette.setColor(QPalette::WindowText, failed > 0 ? kRed : m_page->palette().color(QPalette::WindowText));
    m_page->LBRecordStatus->setPalette(palette);
    m_tabs.setTabCaption(m_page, text, colour);
}

void RecordingScreen::fileSizeStep() {
    const int64_t bytes = m_sizeFromReplay ? m_replay.readPosition() : m_recorder.recordedBytes();
    m_page->LBArchiveFileSize->setText(qs(fileSizeText(bytes)));
}

void RecordingScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    if (number != hostline::kReplay) return;
    for (size_t i = 0; i < hostmode::kReplayControls.size(); ++i)
        if (auto* w = m_page->findChild<QWidget*>(hostmode::kReplayControls[i])) v.at(i + 2) = w->isHidden() ? 0 : 1;
    v.at(8) = m_page->ReplaySpeedUD->value();
}

void RecordingScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad&) {
    if (number != hostline::kReplay) return;
    for (size_t i = 0; i < hostmode::kReplayControls.size(); ++i)
        if (auto* w = m_page->findChild<QWidget*>(hostmode::kReplayControls[i])) w->setVisible(v.at(i + 2) != 0);
    m_page->ReplaySpeedUD->setValue(v.at(8));  // the spinner keeps it within the speed table
}

void RecordingScreen::applyHostMode(const hostmode::Layout& layout) {
    for (const char* name : hostmode::kReplayControls)
        if (auto* w = m_page->findChild<QWidget*>(name)) w->setVisible(layout.replayControls);
}

} // namespace cv
