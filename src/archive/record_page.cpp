#include "archive/record_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "archive/archive_recorder.h"
#include "archive/archive_replay.h"
#include "widgets/widget_helpers.h"

namespace cv {

RecordPage::RecordPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSRecord");
    auto button = [this](const char* name, const char* caption) {
        auto* b = named(new QPushButton(caption, this), name);
        b->setMinimumWidth(220);
        return b;
    };
    BTRecordArchive = button("BTRecordArchive", "Record Archive");
    BTRecord1Hour = button("BTRecord1Hour", "1 Hour Archive Files");
    BTRecord1Day = button("BTRecord1Day", "1 Day Archive Files");
    BTStopRecord = button("BTStopRecord", "Stop");
    BTStopRecord->setAccessibleName("Stop recording or replay");
    ReplayArchiveBT = button("ReplayArchiveBT", "Replay Archive");
    ReplayContinuousBT = button("ReplayContinuousBT", "Continuous Archive Replay");

    ReplaySpeedUD = named(new QSpinBox(this), "ReplaySpeedUD");
    ReplaySpeedUD->setRange(ArchiveReplay::kMinSpeed, ArchiveReplay::kMaxSpeed);
    ReplaySpeedUD->setValue(ArchiveReplay::kDefaultSpeed);
    ReplaySpeedUD->setWrapping(false);
    ReplaySpeedUD->setAccessibleName("Replay speed");
    ReplaySpeedEdit = ReplaySpeedUD->findChild<QLineEdit*>();
    if (ReplaySpeedEdit) ReplaySpeedEdit->setObjectName("ReplaySpeedEdit");
    ReplaySpeedLB1 = namedLabel(this, "ReplaySpeedLB1", "Replay Speed");
    ReplaySpeedLB1->setBuddy(ReplaySpeedUD);
    ReplaySpeedLB2 = namedLabel(this, "ReplaySpeedLB2", "1 = Slow, 10 = Fast");

    GBRecording = named(new QGroupBox("Record Status", this), "GBRecording");
    LBRecordStatus = namedLabel(GBRecording, "LBRecordStatus", qs(recording::statusText(recording::kOff)));
    LBArchiveFileName = namedLabel(GBRecording, "LBArchiveFileName");
    LBArchiveFileSize = namedLabel(GBRecording, "LBArchiveFileSize", qs(recording::fileSizeText(0)));
    LBArchiveFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* status = new QVBoxLayout(GBRecording);
    status->addWidget(LBRecordStatus);
    status->addWidget(LBArchiveFileName);
    status->addWidget(LBArchiveFileSize);

    auto* record = new QVBoxLayout;
    record->addWidget(BTRecordArchive);
    record->addWidget(BTRecord1Hour);
    record->addWidget(BTRecord1Day);
    record->addSpacing(12);
    record->addWidget(BTStopRecord);
    record->addStretch(1);

    auto* speed = new QGridLayout;
    speed->addWidget(ReplaySpeedLB1, 0, 0);
    speed->addWidget(ReplaySpeedUD, 0, 1);
    speed->addWidget(ReplaySpeedLB2, 1, 0, 1, 2);
    auto* replay = new QVBoxLayout;
    replay->addWidget(ReplayArchiveBT);
    replay->addWidget(ReplayContinuousBT);
    replay->addLayout(speed);
    replay->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addLayout(record);
    buttons->addSpacing(24);
    buttons->addLayout(replay);
    buttons->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->addLayout(buttons);
    page->addWidget(GBRecording);
    page->addStretch(1);
}

} // namespace cv
