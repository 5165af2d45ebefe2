#include "pclogger/annotation_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include "pclogger/annotation_queue.h"
#include "base/text_format.h"
#include "ports/operator_dialogs.h"
#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
const char* const kStoredHeading = "Queued for the Archive File:";
const char* const kNotStoredHeading = "Not Stored - Nothing Is Being Recorded:";
const char* const kNotRecordingText = "Nothing is being recorded: a remark is not stored in any file.";
const char* const kRecordingFormat = "Recording: a remark is stored in %s";
} // namespace

TAnnotationForm::TAnnotationForm(QWidget* window, AnnotationQueue& queue, WarningBox& warnings,
                                 std::function<std::string()> stamp)
    : QDialog(window), m_queue(queue), m_warnings(warnings), m_stamp(std::move(stamp)) {
    setObjectName("TAnnotationForm");
    setWindowTitle("Annotate Archive File");
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    UDNext = named(new QSpinBox(this), "UDNext");
    UDNext->setRange(1, 1000);
    UDNext->setValue(1);
    UDNext->setAccessibleName("Next water sample number");
    LBNext = namedLabel(this, "LBNext", "Next Water Sample:  1");
    LBNext->setBuddy(UDNext);
    EDITAnnotation = named(new QLineEdit("Annotate Here", this), "EDITAnnotation");
    EDITAnnotation->setAccessibleName("Annotation text");
    LBRecording = namedLabel(this, "LBRecording");
    LBRecording->setAccessibleName("Recording state");
    LBRecording->setWordWrap(true);
    LBRecording->setAutoFillBackground(true);
    lbx = namedLabel(this, "lbx", "Last Annotation:");
    LBAnnotation = namedLabel(this, "LBAnnotation", "Last Annotation...");
    LBAnnotation->setAccessibleName("Last annotation");
    LBAnnotation->setWordWrap(true);
    AnnotateDANDT = namedLabel(this, "AnnotateDANDT", "Date and Time");
    AnnotateDANDT->setAccessibleName("Time of the last annotation");
    for (QLabel* l : {LBAnnotation, AnnotateDANDT}) tellState(l, l->text());
    BTStart = named(new QPushButton("Start Water Sample", this), "BTStart");
    BTEnd = named(new QPushButton("End Water Sample", this), "BTEnd");
    BTReset = named(new QPushButton("Reset Sample Count", this), "BTReset");
    BTSend = named(new QPushButton("Insert Annotation", this), "BTSend");
    BTClose = named(new QPushButton("Close", this), "BTClose");
    BTStart->setAutoDefault(false);
    BTEnd->setAutoDefault(false);
    BTReset->setAutoDefault(false);
    BTClose->setAutoDefault(false);
    BTSend->setDefault(true);
    for (QPushButton* b : {BTStart, BTEnd, BTReset, BTSend, BTClose}) b->setMinimumWidth(150);

    auto* grid = new QGridLayout(this);
    grid->addWidget(LBRecording, 0, 0, 1, 2);
    grid->addWidget(LBNext, 1, 0);
    grid->addWidget(UDNext, 1, 1);
    grid->addWidget(BTStart, 2, 0);
    grid->addWidget(BTEnd, 2, 1);
    grid->addWidget(BTReset, 3, 0);
    grid->addWidget(EDITAnnotation, 4, 0, 1, 2);
    grid->addWidget(BTSend, 5, 0);
    grid->addWidget(lbx, 6, 0, 1, 2);
    grid->addWidget(LBAnnotation, 7, 0, 1, 2);
    grid->addWidget(AnnotateDANDT, 8, 0, 1, 2);
    grid->addWidget(BTClose, 9, 1);

    connect(BTStart, &QPushButton::clicked, this, &TAnnotationForm::BTStartClick);
    connect(BTEnd, &QPushButton::clicked, this, &TAnnotationForm::BTEndClick);
    connect(BTSend, &QPushButton::clicked, this, &TAnnotationForm::BTSendClick);
    connect(BTReset, &QPushButton::clicked, this, &TAnnotationForm::BTResetClick);
    connect(BTClose, &QPushButton::clicked, this, &TAnnotationForm::BTCloseClick);
    connect(UDNext, &QSpinBox::valueChanged, this, &TAnnotationForm::UDNextClick);
}

void TAnnotationForm::open() {
    showRecordingState();
    adjustSize();
    if (QWidget* w = parentWidget()) {
        const QRect frame = w->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

void TAnnotationForm::showRecordingState() {
    const std::optional<std::string> file = m_target();
    LBRecording->setText(qs(file ? format(kRecordingFormat, file->c_str()) : kNotRecordingText));
    setPanelColour(LBRecording, file ? normalPanelColour() : kYellow);
    tellState(LBRecording, LBRecording->text());
}

void TAnnotationForm::queueRemark(const std::string& remark) {
    showRecordingState();
    lbx->setText(m_target() ? kStoredHeading : kNotStoredHeading);
    LBAnnotation->setText(qs(remark));
    tellState(LBAnnotation, LBAnnotation->text());
    const std::string stamp = m_stamp();
    if (m_queue.pending())
        m_warnings.show("Error - Unable to insert this record into the Archive File", m_queue.text());
    AnnotateDANDT->setText(qs(stamp));
    tellState(AnnotateDANDT, AnnotateDANDT->text());
    m_queue.queue(stamp, remark);
}

void TAnnotationForm::setNext(int value) {
    const QSignalBlocker block(UDNext);
    UDNext->setValue(value);
}

void TAnnotationForm::BTStartClick() {
    m_sample = UDNext->value();
    queueRemark(format("Start Sample %1d", m_sample));
    setNext(m_sample + 1);
    LBNext->setText(qs(format("Next Water Sample:  %1d", UDNext->value())));
}

void TAnnotationForm::BTEndClick() { queueRemark(format("End Sample %1d", m_sample)); }

void TAnnotationForm::BTSendClick() {
    const std::string remark = EDITAnnotation->text().toLatin1().toStdString();
    EDITAnnotation->clear();
    queueRemark(remark);
}

void TAnnotationForm::BTResetClick() {
    setNext(1);
    LBNext->setText("Next Water Sample:  1");
    m_sample = 1;
}

void TAnnotationForm::UDNextClick() { LBNext->setText(qs(format("Next Water Sample: %1d", UDNext->value()))); }

void TAnnotationForm::BTCloseClick() { hide(); }

} // namespace cv
