#include "setup/logger_control_page.h"
#include "setup/setup_send_row.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <type_traits>

#include "widgets/widget_helpers.h"
#include "widgets/colours.h"
#include "setup/setup_record.h"

namespace cv {

namespace {

QSpinBox* spinner(QWidget* parent, const QString& name, const setup::SpinnerLimits& limits, int step) {
    auto* ud = named(new QSpinBox(parent), name);
    ud->setRange(limits.minimum, limits.maximum);
    ud->setSingleStep(step);
    ud->setValue(limits.start);
    ud->setMinimumWidth(80);
    return ud;
}

struct ScheduleNames {
    const char* label;
    const char* ud;
    const char* edit;
    const char* combo;
};
constexpr std::array<ScheduleNames, 6> kSchedule{{
    {"LBDelay", "DelayUD", "DelayEdit", "DelayCombo"},
    {"LBPreFlush", "PreFlushUD", "PreFlushEdit", "PreFlushCombo"},
    {"LBWarmup", "WarmupUD", "WarmupEdit", "WarmupCombo"},
    {"LBFlush", "FlushUD", "FlushEdit", "FlushCombo"},
    {"LBSample", "SampleUD", "SampleEdit", "SampleCombo"},
    {"LBSampleInterval", "IntervalUD", "IntervalEdit", "IntervalCombo"},
}};

} // namespace

LoggerControlPage::LoggerControlPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSLoggerControl");

    auto* schedule = named(new QGroupBox("Sample Setup", this), "GBSampleSetup");
    auto* sg = new QGridLayout(schedule);
    for (size_t f = 0; f < kSchedule.size(); ++f) {
        const ScheduleNames& n = kSchedule[f];
        scheduleLabels[f] = named(new QLabel(setup::kScheduleCaptions[f], schedule), n.label);
        scheduleUD[f] = spinner(schedule, n.ud, setup::kScheduleLimits[f], setup::kScheduleStep);
        scheduleEdit[f] = scheduleUD[f]->findChild<QLineEdit*>();
        if (scheduleEdit[f]) scheduleEdit[f]->setObjectName(n.edit);
        scheduleCombo[f] = comboOf(schedule, n.combo, setup::kUnitItems);
        scheduleCombo[f]->setPlaceholderText("Units");
        scheduleCombo[f]->setCurrentIndex(-1);
        spokenAs(scheduleUD[f], QString("%1 number").arg(setup::kScheduleCaptions[f]));
        spokenAs(scheduleCombo[f], QString("%1 unit").arg(setup::kScheduleCaptions[f]));
        sg->addWidget(scheduleLabels[f], int(f), 0);
        sg->addWidget(scheduleUD[f], int(f), 1);
        sg->addWidget(scheduleCombo[f], int(f), 2);
    }
    sg->setColumnMinimumWidth(2, 100);
    LBSampleInterval = scheduleLabels[setup::kInterval];

    auto* logger = named(new QGroupBox("Logger Setup", this), "GBLoggerSetup");
    auto* lg = new QGridLayout(logger);
    ModeLB = named(new QLabel("Mode of Operation", logger), "ModeLB");
    ModeCB = comboOf(logger, "ModeCB", setup::kModeItems);
    OutputLB = named(new QLabel("Logger Output", logger), "OutputLB");
    OutputCB = comboOf(logger, "OutputCB", setup::kOutputItems);
    FileLB = named(new QLabel("Data Storage", logger), "FileLB");
    FileCB = comboOf(logger, "FileCB", setup::kFileItems);
    TimeSourceLB = named(new QLabel("Time Source", logger), "TimeSourceLB");
    TimeSourceCB = comboOf(logger, "TimeSourceCB", setup::kTimeSourceItems);
    TimeSourceLB->hide();
    TimeSourceCB->hide();
    ModeLB->setBuddy(ModeCB);
    OutputLB->setBuddy(OutputCB);
    FileLB->setBuddy(FileCB);
    TimeSourceLB->setBuddy(TimeSourceCB);
    CBAutoStart = named(new QCheckBox("Start Sampling When Powered", logger), "CBAutoStart");
    lg->addWidget(ModeLB, 0, 0);
    lg->addWidget(ModeCB, 0, 1);
    lg->addWidget(OutputLB, 1, 0);
    lg->addWidget(OutputCB, 1, 1);
    lg->addWidget(FileLB, 2, 0);
    lg->addWidget(FileCB, 2, 1);
    lg->addWidget(CBAutoStart, 3, 0, 1, 2);
    // Last, so the room it keeps while hidden (most modes) is at the foot of the box.
    lg->addWidget(TimeSourceLB, 4, 0);
    lg->addWidget(TimeSourceCB, 4, 1);
    lg->setColumnMinimumWidth(1, 190);

    auto* limits = named(new QGroupBox("Power and Analog Sampling", this), "GBPowerAnalog");
    auto* pg = new QGridLayout(limits);
    UDLVCutOff = spinner(limits, "UDLVCutOff", setup::kCutOffLimits, 1);
    LBLowVoltage = named(new QLabel(QString::fromStdString(setup::lowVoltageText(setup::kCutOffLimits.start)), limits),
                         "LBLowVoltage");
    UDAnalogRate = spinner(limits, "UDAnalogRate", setup::kAnalogRateLimits, 1);
    LBAnalogRate = named(new QLabel(QString::fromStdString(setup::analogRateText(setup::kAnalogRateLimits.start)), limits),
                         "LBAnalogRate");
    spokenAs(UDLVCutOff, "Low voltage cut-off");
    spokenAs(UDAnalogRate, "Analog sample rate");
    for (QLabel* l : {LBLowVoltage, LBAnalogRate}) {
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(110);
        paintShade(l, Shade::Silver);
    }
    pg->addWidget(named(new QLabel("Low Voltage Cut-Off", limits), "LBLVCutOffCaption"), 0, 0);
    pg->addWidget(UDLVCutOff, 0, 1);
    pg->addWidget(LBLowVoltage, 0, 2);
    pg->addWidget(named(new QLabel("Analog Sample Rate", limits), "LBAnalogRateCaption"), 1, 0);
    pg->addWidget(UDAnalogRate, 1, 1);
    pg->addWidget(LBAnalogRate, 1, 2);

    GroupBox7 = named(new QGroupBox("Operational Controls", this), "GroupBox7");
    BTBegin = named(new QPushButton("Begin Sample", GroupBox7), "BTBegin");
    BTStop = named(new QPushButton("Stop", GroupBox7), "BTStop");
    BTSleep = named(new QPushButton("Sleep", GroupBox7), "BTSleep");
    BTSleep->hide();
    spokenAs(BTStop, "Stop sampling");
    BTSleep->setMinimumHeight(56);
    auto* og = new QHBoxLayout(GroupBox7);
    auto* beginStop = new QVBoxLayout;
    beginStop->addWidget(BTBegin);
    beginStop->addWidget(BTStop);
    og->addLayout(beginStop);
    og->addWidget(BTSleep);

    Button1 = named(new QPushButton("Polled-Wake", this), "Button1");
    Button2 = named(new QPushButton("Polled-Sleep", this), "Button2");
    spokenAs(Button1, "Polled wake (Logger Control page)");
    spokenAs(Button2, "Polled sleep (Logger Control page)");
    Button1->hide();
    Button2->hide();

    BTGetSetup2 = named(new QPushButton("Get Setup", this), "BTGetSetup2");
    BTSendSetup2 = named(new QPushButton("Send Setup", this), "BTSendSetup2");
    spokenAs(BTGetSetup2, "Get setup (Logger Control page)");
    spokenAs(BTSendSetup2, "Send setup (Logger Control page)");
    CBAutoStart->setToolTip("The logger begins sampling by itself whenever its power comes on.");
    UDLVCutOff->setToolTip("The supply voltage below which the logger stops sampling.");
    UDAnalogRate->setToolTip("How often the analog channels are read. Yellow or red: faster than the output or the "
                             "storage keeps up with.");
    BTSleep->setToolTip("Puts the logger to sleep until a date and time you choose.");
    Button1->setToolTip("Wakes a logger that runs in the polled moored mode.");
    Button2->setToolTip("Puts a logger that runs in the polled moored mode back to sleep.");

    auto* left = new QVBoxLayout;
    left->addWidget(schedule);
    left->addWidget(limits);
    left->addStretch(1);

    auto* polled = new QHBoxLayout;
    polled->addWidget(Button1);
    polled->addWidget(Button2);
    polled->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(logger);
    right->addWidget(GroupBox7, 0, Qt::AlignLeft);
    right->addLayout(polled);
    right->addStretch(1);

    auto* groups = new QHBoxLayout;
    groups->addLayout(left);
    groups->addLayout(right);
    groups->addStretch(1);

    const SetupSendRow row = setupSendRow(this, BTGetSetup2, BTSendSetup2, "2", "Logger Control page");
    QHBoxLayout* buttons = row.buttons;
    LBSetupSent = row.sent;
    LBLineCapacity = row.capacity;

    // What an arrived setup or the time source item shows and hides keeps its room, so no button
    // moves under a click aimed before the change. (The setup combos come and go only with the
    // host mode the operator chooses, which lays out the whole page anew.)
    for (QWidget* w : std::initializer_list<QWidget*>{TimeSourceLB, TimeSourceCB, CBAutoStart, BTSleep, Button1, Button2})
        keepPlaceWhenHidden(w);
    for (QWidget* w : std::initializer_list<QWidget*>{scheduleLabels[setup::kInterval], scheduleUD[setup::kInterval],
                                                      scheduleCombo[setup::kInterval]})
        keepPlaceWhenHidden(w);

    auto* page = new QVBoxLayout(this);
    page->addLayout(groups);
    page->addLayout(buttons);
    page->addWidget(LBLineCapacity);
    page->addStretch(1);
}

} // namespace cv
