#pragma once
// The recording screen controller: starts and stops the archive recorder and the replay from the
// recording page's buttons and shows what they do on the ticks.
#include <QObject>
#include <QString>

#include "archive/archive_recorder.h"
#include "archive/archive_replay.h"
#include "protocol/host_setup_part.h"
#include "protocol/host_modes.h"

class QWidget;

namespace cv {

struct HostServices;
class PageTabs;
class RecordPage;

class RecordingScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // Builds the recording page under `window`; the status shows in its tab's caption too.
    RecordingScreen(QWidget* window, HostServices& services, PageTabs& tabs, ArchiveRecorder& recorder,
                    ArchiveReplay& replay);
    ~RecordingScreen() override;

    RecordingMode recordingMode() const;
    ArchiveRecorder& recorder() { return m_recorder; }
    ArchiveReplay& replay() { return m_replay; }
    RecordPage* page() const { return m_page; }

    // 5 ms tick, after the receive step: the replay's stop request becomes a Stop.
    void replayStopStep();
    // 1000 ms tick: the status text in LBRecordStatus and the tab caption; the name of the hour's
    // or day's file.
    void recordStatusStep();
    // 1000 ms tick: LBArchiveFileSize.
    void fileSizeStep();
    // The recording's part of a host mode: no layout shows the replay controls.
    void applyHostMode(const hostmode::Layout& layout);

    // Host setup file: the replay controls' visibility and the replay speed (line 20).
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;

    // Handlers, named after the controls they serve.
    void BTRecordArchiveClick();
    void BTRecord1HourClick();
    void BTRecord1DayClick();
    void BTStopRecordClick();
    void ReplayArchiveBTClick();
    void ReplayContinuousBTClick();
    void SetRecordButtons(bool enabled);

private:
    void startPeriodic(RecordingMode mode, const char* title);
    void startReplay(RecordingMode mode, const char* title);
    void showStatus();

    HostServices& m_services;
    PageTabs& m_tabs;
    RecordPage* m_page;
    ArchiveRecorder& m_recorder;
    ArchiveReplay& m_replay;
    bool m_sizeFromReplay = false;  // the size label shows the read position of the last replay
    bool m_wasRecording = false;  // as the last status step saw it
};

} // namespace cv
