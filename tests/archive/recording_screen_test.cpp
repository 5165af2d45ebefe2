#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include "app/hostmain_window.h"
#include "pclogger/annotation_dialog.h"
#include "archive/record_page.h"
#include "archive/recording_screen_qt.h"
#include "archive_support.h"
#include "pclogger/pclogger_screen_qt.h"
#include "setup/setup_screen_qt.h"
#include "stream/stream_screen_qt.h"
#include "link/link_screen_qt.h"
#include "support/fakes.h"
#include "support/window_rig.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace recording;

struct RecordingWindow : ::testing::Test, test::WindowRig {
    RecordingScreen& screen = *form.recordingScreen();
    RecordPage& page = *screen.page();
    test::TempDir dir;

    void second() {
        for (int i = 0; i < 200; ++i) form.Timer10msTimer();
        clock.seconds += 1;
        clock.ms += 1000;
        form.Timer475msTimer();
        form.Timer1000msTimer();
    }
    QString caption() const { return form.Tabs->tabText(form.Tabs->indexOf(&page)); }
    bool startButtonsEnabled() const {
        return page.BTRecordArchive->isEnabled() && page.BTRecord1Hour->isEnabled() && page.BTRecord1Day->isEnabled() &&
               page.ReplayArchiveBT->isEnabled() && page.ReplayContinuousBT->isEnabled();
    }
};

struct StartCase {
    const char* button;
    const char* caption;
    const char* dialogTitle;
    RecordingMode mode;
    const char* status;
    const char* fileLead;
    const char* fileSuffix;  // hourly and daily names at 22:13 on 14 November 2023
    bool replacesFile;       // empties the file chosen, so asks first; the others add to it or read it
};
struct StartButtons : RecordingWindow, ::testing::WithParamInterface<StartCase> {};

// Each start button asks for its file under its own title; a cancelled dialog changes nothing,
// a chosen file starts the mode, shows its status and locks the start buttons until Stop.
TEST_P(StartButtons, AskForTheFileThenRunUntilStop) {
    const StartCase& c = GetParam();
    auto* button = page.findChild<QPushButton*>(c.button);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), c.caption);
    const std::string path = (dir / "rec").string();
    std::vector<std::vector<uint8_t>> records;
    for (uint8_t s = 0; s < 100; ++s) records.push_back(test::archiveRecord(1, s, s, 3));
    test::writeFile(path, test::joined(records));

    dialogs.fileAnswers = {std::nullopt};
    button->click();
    ASSERT_EQ(dialogs.fileChoices.size(), 1u);
    EXPECT_EQ(dialogs.fileChoices[0].title, c.dialogTitle);
    EXPECT_EQ(screen.recordingMode(), kOff);

    EXPECT_FALSE(dialogs.fileChoices[0].askOverwrite) << "a base name is not the file written";
    if (c.replacesFile) {
        dialogs.fileAnswers = {path};
        dialogs.answers = {Answer::No};
        button->click();
        EXPECT_EQ(screen.recordingMode(), kOff);
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, "File " + path + " Exists ... Overwrite ?");
        EXPECT_EQ(test::readFile(path), test::joined(records));
        dialogs.boxes.clear();
    }

    dialogs.fileAnswers = {path};
    button->click();
    EXPECT_EQ(screen.recordingMode(), c.mode);
    EXPECT_FALSE(startButtonsEnabled());
    EXPECT_TRUE(page.BTStopRecord->isEnabled());
    second();
    EXPECT_EQ(page.LBRecordStatus->text(), c.status);
    EXPECT_EQ(caption(), c.status);
    EXPECT_EQ(page.LBArchiveFileName->text().toStdString(), c.fileLead + path + c.fileSuffix);

    page.BTStopRecord->click();
    second();
    EXPECT_EQ(screen.recordingMode(), kOff);
    EXPECT_TRUE(startButtonsEnabled());
    EXPECT_EQ(page.LBRecordStatus->text(), "Recording:  OFF");
    EXPECT_EQ(caption(), "Recording:  OFF");
    EXPECT_EQ(dialogs.boxes.size(), c.replacesFile ? 1u : 0u) << "nothing but the question, answered Yes";
}

INSTANTIATE_TEST_SUITE_P(
    Recording, StartButtons,
    ::testing::Values(
        StartCase{"BTRecordArchive", "Record Archive", "Record Continuous Archive", kContinuous, "Recording:  Archive File",
                  "Archive File:  ", "", true},
        StartCase{"BTRecord1Hour", "1 Hour Archive Files", "Record 1 Hour Archive", kHourly, "Recording:  1 Hour Archive",
                  "1 Hour Archive File:  ", "23_318.022", false},
        StartCase{"BTRecord1Day", "1 Day Archive Files", "Record 1 Day Archive", kDaily, "Recording:  24 Hour Archive",
                  "24 Hour Archive File:  ", "23.318", false},
        StartCase{"ReplayArchiveBT", "Replay Archive", "Open Archive For Replay", kReplayOnce,
                  "Replay Archive:  1.000 secs   67 records, 67% of 4 K", "Archive File:  ", "", false},
        StartCase{"ReplayContinuousBT", "Continuous Archive Replay", "Open Archive For Continuous Replay",
                  kReplayContinuous, "Continuous Archive Replay:  1.000 secs   67 records, 67% of 4 K", "Archive File:  ", "",
                  false}),
    [](const auto& info) { return std::string(info.param.button); });

TEST_F(RecordingWindow, FileThatCannotBeCreatedShowsOneBoxAndRecordingStaysOff) {
    dialogs.fileAnswers = {(dir / "no" / "such" / "file.arc").string()};
    page.BTRecordArchive->click();
    second();
    EXPECT_EQ(screen.recordingMode(), kOff);
    EXPECT_TRUE(startButtonsEnabled());
    EXPECT_EQ(caption(), "Recording:  OFF");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("file.arc"), std::string::npos);
}

// Records that could not be written keep the page's status and the tab caption red with their
// count while the recording goes on.
TEST_F(RecordingWindow, LostRecordsShowInRedOnThePageAndItsTab) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    dialogs.fileAnswers = {"/dev/full"};
    page.BTRecordArchive->click();
    const auto r = test::archiveRecord(2, 0, 0, 10);
    screen.recorder().appendRecord(r.data(), r.size());
    screen.recorder().waitForWriter(std::chrono::seconds(10));
    second();
    EXPECT_EQ(caption(), "Recording:  Archive File   (1 failed writes)");
    EXPECT_EQ(page.LBRecordStatus->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(form.Tabs->tabBar()->tabTextColor(form.Tabs->indexOf(&page)), QColor(Qt::red));
    EXPECT_EQ(screen.recordingMode(), kContinuous);
    page.BTStopRecord->click();
    EXPECT_NE(form.Tabs->tabBar()->tabTextColor(form.Tabs->indexOf(&page)), QColor(Qt::red));
}

// A remark rides in the next PC logger record, which only a running recording stores: the
// annotation dialog says whether one runs, and under which heading each remark went.
TEST_F(RecordingWindow, AnnotationDialogSaysWhetherARemarkWillBeStored) {
    form.findChild<QAction*>("MenuAnnotateFile")->trigger();
    TAnnotationForm& a = *form.pcLoggerScreen()->annotationForm();
    const QString notRecording = "Nothing is being recorded: a remark is not stored in any file.";
    EXPECT_EQ(a.LBRecording->text(), notRecording);
    a.BTEnd->click();
    EXPECT_EQ(a.lbx->text(), "Not Stored - Nothing Is Being Recorded:");
    second();
    second();  // taken by the PC logger, recorded by nobody

    const std::string path = (dir / "rec.arc").string();
    dialogs.fileAnswers = {path};
    page.BTRecordArchive->click();
    second();
    EXPECT_EQ(a.LBRecording->text().toStdString(), "Recording: a remark is stored in " + path);
    a.BTStart->click();
    EXPECT_EQ(a.lbx->text(), "Queued for the Archive File:");
    second();
    screen.recorder().waitForWriter(std::chrono::seconds(10));
    const auto recorded = test::readFile(path);
    const std::string text(recorded.begin(), recorded.end());
    EXPECT_NE(text.find("Start Sample 1"), std::string::npos);
    EXPECT_EQ(text.find("End Sample 1"), std::string::npos);

    page.BTStopRecord->click();
    second();
    EXPECT_EQ(a.LBRecording->text(), notRecording);
}

// Replay once ends by itself at the end of the file; a record too long for the receive buffer
// is skipped and named in one warning at the end; the size label shows where replay got to.
TEST_F(RecordingWindow, ReplayOnceEndsByItselfWithOneWarningForSkippedRecords) {
    const auto records = std::vector{test::archiveRecord(2, 1, 1, 100), test::archiveRecord(2, 2, 2, kMaxMuxPayload + 1),
                                     test::archiveRecord(2, 3, 3, 1500)};
    test::writeFile(dir / "replay.arc", test::joined(records));
    page.ReplaySpeedUD->setValue(10);
    dialogs.fileAnswers = {(dir / "replay.arc").string()};
    page.ReplayArchiveBT->click();
    ASSERT_EQ(screen.recordingMode(), kReplayOnce);
    second();
    EXPECT_EQ(screen.recordingMode(), kOff);
    EXPECT_TRUE(startButtonsEnabled());
    EXPECT_EQ(page.LBArchiveFileSize->text(), "File Size:         5 K");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("Skipped 1 record of"), std::string::npos) << dialogs.boxes[0].text;
    EXPECT_EQ(form.receiver().counters().packetsFramed, 2u);
}

// While a replay feeds the live road the Logger Status box says so, and the seams between the
// logger's records and the file's are no gaps.
TEST_F(RecordingWindow, ReplayIsNamedOnTheStatusBoxAndItsSeamsAreNoGaps) {
    form.linkScreen()->selectLoggerPort(1, 6);
    const auto live = [&](int s) {
        line->feed(test::lineFrame(test::archiveRecord(2, uint8_t(s), uint32_t(s), 10)));
        for (int i = 0; i < 5; ++i) form.Timer10msTimer();
    };
    live(0);
    std::vector<std::vector<uint8_t>> records;
    for (int s = 100; s < 140; ++s) records.push_back(test::archiveRecord(2, uint8_t(s), uint32_t(s), 10));
    test::writeFile(dir / "replay.arc", test::joined(records));
    page.ReplaySpeedUD->setValue(1);
    dialogs.fileAnswers = {(dir / "replay.arc").string()};
    page.ReplayArchiveBT->click();
    const auto* status = form.findChild<QGroupBox*>("LoggerStatusGB");
    second();
    second();
    EXPECT_EQ(status->title(), "Logger Status: replay running");
    for (int s = 0; s < 5 && screen.recordingMode() != kOff; ++s) second();
    second();
    EXPECT_EQ(status->title(), "Logger Status");
    live(50);
    EXPECT_EQ(form.streamScreen()->stream().unitCounterLine(2), "Unit 2: 42 \t0 \t0");
}

// A file of the wrong kind is refused with one box naming it, and nothing is replayed.
TEST_F(RecordingWindow, AFileThatIsNoArchiveIsRefusedWithOneBox) {
    test::writeFile(dir / "notes.txt", std::vector<uint8_t>(200, 'x'));
    dialogs.fileAnswers = {(dir / "notes.txt").string()};
    page.ReplayContinuousBT->click();
    EXPECT_EQ(screen.recordingMode(), kOff);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, (dir / "notes.txt").string() + " cannot be replayed: it does not start with a whole "
                                                                    "archive record.");
}

// Replay is for the modes that watch live data: Real Time Output and Advanced User.
TEST_F(RecordingWindow, ReplayControlsShowInTheLiveDataModes) {
    for (int mode : {hostmode::kAnalogOutput, hostmode::kMooredLogging, hostmode::kProfileLogging,
                     hostmode::kRealTimeOutput, hostmode::kAdvancedUser, hostmode::kPcLogger}) {
        const bool shown = mode == hostmode::kRealTimeOutput || mode == hostmode::kAdvancedUser;
        for (const char* name : hostmode::kReplayControls)
            if (auto* w = page.findChild<QWidget*>(name)) w->setVisible(!shown);
        form.setupScreen()->setupDisplayMode(mode);
        for (const char* name : hostmode::kReplayControls) {
            auto* w = page.findChild<QWidget*>(name);
            ASSERT_NE(w, nullptr) << name;
            EXPECT_EQ(w->isHidden(), !shown) << name << " in mode " << mode;
        }
    }
    EXPECT_EQ(page.ReplaySpeedUD->accessibleName(), "Replay speed");
    EXPECT_EQ(page.ReplaySpeedUD->minimum(), 1);
    EXPECT_EQ(page.ReplaySpeedUD->maximum(), 10);
}

} // namespace
} // namespace cv
