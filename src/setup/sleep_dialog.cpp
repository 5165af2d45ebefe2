#include "setup/sleep_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/widget_helpers.h"
#include "widgets/host_services.h"
#include "setup/sleep_until.h"

namespace cv {

namespace {


QLabel* clockLabel(QWidget* parent, const char* name) {
    auto* l = named(new QLabel(parent), name);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(90);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

} // namespace

SleepDialog::SleepDialog(HostServices& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName("TSleepForm");
    setWindowTitle("Sleep Options");
    setModal(false);

    HostTime = clockLabel(this, "HostTime");
    HostDate = clockLabel(this, "HostDate");
    SleepTime = clockLabel(this, "SleepTime");
    SleepDate = clockLabel(this, "SleepDate");
    auto* clocks = new QGridLayout;
    clocks->addWidget(new QLabel("Time", this), 0, 1, Qt::AlignCenter);
    clocks->addWidget(new QLabel("Date", this), 0, 2, Qt::AlignCenter);
    clocks->addWidget(new QLabel("Host PC", this), 1, 0);
    clocks->addWidget(HostTime, 1, 1);
    clocks->addWidget(HostDate, 1, 2);
    clocks->addWidget(new QLabel("Logger", this), 2, 0);
    clocks->addWidget(SleepTime, 2, 1);
    clocks->addWidget(SleepDate, 2, 2);

    MooredSleepGB = named(new QGroupBox("Moored Mode Sleep Option", this), "MooredSleepGB");
    // The formats are hints, not text: typed digits must not be appended to them.
    METime = named(new QLineEdit(MooredSleepGB), "METime");
    METime->setPlaceholderText("HH:MM:SS");
    MEDate = named(new QLineEdit(MooredSleepGB), "MEDate");
    MEDate->setPlaceholderText("MM/DD/YY");
    warninglabel = named(new QLabel("Don't Forget about Daylight Savings Time Changes", MooredSleepGB), "warninglabel");
    auto* g = new QGridLayout(MooredSleepGB);
    auto* timeLabel = new QLabel("Wake-up Time", MooredSleepGB);
    timeLabel->setBuddy(METime);
    g->addWidget(timeLabel, 0, 0);
    g->addWidget(METime, 0, 1);
    auto* dateLabel = new QLabel("Wake-up Date", MooredSleepGB);
    dateLabel->setBuddy(MEDate);
    g->addWidget(dateLabel, 1, 0);
    g->addWidget(MEDate, 1, 1);
    g->addWidget(warninglabel, 2, 0, 1, 2);

    Label4 = named(new QLabel("Note:  All times are in a 24-hour format.  (00:00:00-23-59:59)", this), "Label4");
    Label6 = named(new QLabel("Dates are MM/DD/YY", this), "Label6");

    SleepButton = named(new QPushButton("SLEEP", this), "SleepButton");
    CancelButton = named(new QPushButton("CANCEL", this), "CancelButton");
    CancelButton->setAccessibleName("Cancel sleep");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SleepButton);
    buttons->addWidget(CancelButton);

    auto* v = new QVBoxLayout(this);
    v->addLayout(clocks);
    v->addWidget(MooredSleepGB);
    v->addWidget(Label4);
    v->addWidget(Label6);
    v->addLayout(buttons);

    connect(SleepButton, &QPushButton::clicked, this, &SleepDialog::SleepButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &SleepDialog::CancelButtonClick);
}

void SleepDialog::showHostClock(const QString& time, const QString& date) {
    HostTime->setText(time);
    HostDate->setText(date);
}

void SleepDialog::showLoggerClock(const QString& time, const QString& date) {
    SleepTime->setText(time);
    SleepDate->setText(date);
}

void SleepDialog::SleepButtonClick() {
    const auto outcome = sleepuntil::requestSleep(METime->text().toStdString(), MEDate->text().toStdString(),
                                                  m_services.clock, m_services.warnings, m_services.dialogs,
                                                  m_services.commands);
    if (outcome == sleepuntil::Outcome::Sent) hide();
}

void SleepDialog::CancelButtonClick() { hide(); }

} // namespace cv
