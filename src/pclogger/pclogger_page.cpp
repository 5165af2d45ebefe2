#include "pclogger/pclogger_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "link/port_map.h"
#include "link/port_slots.h"
#include "pclogger/pc_logger.h"
#include "widgets/port_combo.h"
#include "widgets/widget_helpers.h"

namespace cv {

PcLoggerPage::PcLoggerPage(const PortMap* portMap, QWidget* parent) : QWidget(parent) {
    setObjectName("TSPCLogger");
    auto* grid = new QGridLayout;
    PCInHdr = namedLabel(this, "PCInHdr", "  PC  I/O  ");
    PCOutHdr = namedLabel(this, "PCOutHdr", "Output Logger");
    // The headings come with the first line that uses them, in a row that is always there: the
    // page does not move down under the mouse when a line is set to Meter Input.
    for (QLabel* heading : {PCInHdr, PCOutHdr}) keepPlaceWhenHidden(heading);
    grid->addWidget(PCInHdr, 0, 4);
    grid->addWidget(PCOutHdr, 0, 5, 1, 4);
    for (int n = 0; n < pclogger::kLines; ++n) {
        const size_t i = size_t(n);
        const int k = n + 1;
        auto* type = named(new QComboBox(this), QString("PortType%1CB").arg(k));
        for (const char* item : {"In Active", "Meter Input", "Logger Output"}) type->addItem(item);
        type->setAccessibleName(QString("Line %1 function").arg(k));
        type->setToolTip(QString("What line %1 does: In Active leaves it unused; Meter Input records what an "
                                 "instrument on its PC port sends, in the PC logger's records; Logger Output sends "
                                 "one logger port's data out on its PC port.")
                             .arg(k));
        // Which line a row is, and the PC port it uses once it has one.
        auto* lineLabel = namedLabel(this, QString("LBLine%1").arg(k), QString("Line %1:").arg(k));
        lineLabel->setToolTip(type->toolTip());
        LBLine[i] = lineLabel;
        auto* com = named(new QComboBox(this), QString("DeckPort%1CB").arg(k));
        com->addItem("OFF");
        for (int c = 1; c <= kMaxComNumber; ++c) com->addItem(portMap ? qs(portMap->comItemText(c)) : QString("COM%1").arg(c));
        showWholePortNames(com);
        com->setAccessibleName(QString("Line %1 PC port").arg(k));
        auto* speed = named(new QComboBox(this), QString("DeckSetup%1CB").arg(k));
        for (const char* s : kSpeedChoiceItems) speed->addItem(s);
        speed->setAccessibleName(QString("Line %1 speed").arg(k));
        auto* id = named(new QSpinBox(this), QString("UDDeckType%1").arg(k));
        id->setRange(1, 4);
        id->setValue(2);
        id->setAccessibleName(QString("Line %1 output logger ID").arg(k));
        auto* idLabel = namedLabel(this, QString("LBDeckType%1").arg(k), "Output Logger ID=2");
        idLabel->setBuddy(id);
        auto* port = named(new QSpinBox(this), QString("UDOutPort%1").arg(k));
        port->setRange(1, 9);
        port->setValue(1);
        port->setAccessibleName(QString("Line %1 output logger port").arg(k));
        auto* portLabel = namedLabel(this, QString("PCOutPort%1").arg(k), "Port=1");
        portLabel->setBuddy(port);
        // A screen reader names a combo box after its buddy label; the columns have headings only.
        for (QComboBox* cb : {type, com, speed}) {
            auto* spoken = new QLabel(cb->accessibleName(), this);
            spoken->hide();
            spoken->setBuddy(cb);
        }
        auto* traffic = namedLabel(this, QString("PCPort%1").arg(k), QString("Port %1:").arg(k));
        traffic->setMinimumWidth(130);
        traffic->setAccessibleName(QString("Line %1 traffic").arg(k));
        tellState(traffic, traffic->text());
        PortTypeCB[i] = type;
        DeckPortCB[i] = com;
        DeckSetupCB[i] = speed;
        UDDeckType[i] = id;
        LBDeckType[i] = idLabel;
        UDOutPort[i] = port;
        PCOutPort[i] = portLabel;
        PCPort[i] = traffic;
        const int row = k;
        grid->addWidget(lineLabel, row, 0);
        grid->addWidget(type, row, 1);
        grid->addWidget(com, row, 2);
        grid->addWidget(speed, row, 3);
        grid->addWidget(traffic, row, 4);
        grid->addWidget(idLabel, row, 5);
        grid->addWidget(id, row, 6);
        grid->addWidget(portLabel, row, 7);
        grid->addWidget(port, row, 8);
    }
    // Wide enough for "Line 8: COM12" whether or not a port is chosen yet.
    grid->setColumnMinimumWidth(0, fontMetrics().horizontalAdvance("Line 8: COM12  "));
    grid->setColumnStretch(9, 1);

    GroupBox9 = named(new QGroupBox("PC Logger ID = 1", this), "GroupBox9");
    UDDeckRate = named(new QSpinBox(GroupBox9), "UDDeckRate");
    UDDeckRate->setRange(1, 20);
    UDDeckRate->setValue(1);
    UDDeckRate->setAccessibleName("PC logger rate");
    LBDeckRate = namedLabel(GroupBox9, "LBDeckRate", QString::fromStdString(pclogger::rateText(1)));
    LBDeckRate->setBuddy(UDDeckRate);
    LBDeckInterval = namedLabel(GroupBox9, "LBDeckInterval", QString::fromStdString(pclogger::intervalText(1000)));
    auto* rate = new QHBoxLayout(GroupBox9);
    rate->addWidget(LBDeckRate);
    rate->addWidget(UDDeckRate);
    rate->addSpacing(16);
    rate->addWidget(LBDeckInterval);
    rate->addStretch(1);

    CBRecordPCTime = named(new QCheckBox("Add PC Time to Port 9 ", this), "CBRecordPCTime");
    CBRecordPCTime->setAccessibleName("Add PC Time to Port 9");
    CBRecordPCTime->setToolTip("Adds the PC's date and time to each PC logger record, as port 9.");
    UDDeckRate->setToolTip("PC logger records a second.");
    BTLoadDeck = named(new QPushButton("Load New Setup", this), "BTLoadDeck");
    BTRestoreDeck = named(new QPushButton("Restore Last Setup", this), "BTRestoreDeck");
    BTClearDeck = named(new QPushButton("Clear Setup", this), "BTClearDeck");
    // Where a newly plugged adapter is given a COM number; the Logger_Port menu is hidden here.
    BTPortMap = named(new QPushButton("Port Map...", this), "BTPortMap");
    BTPortMap->setAccessibleName("Port Map");
    PCLoggerPanel = namedLabel(this, "PCLoggerPanel", "Setup is Not Loaded");
    PCLoggerPanel->setAlignment(Qt::AlignCenter);
    PCLoggerPanel->setAutoFillBackground(true);
    PCLoggerPanel->setFrameShape(QFrame::Panel);
    PCLoggerPanel->setMinimumWidth(200);
    keepPlaceWhenHidden(PCLoggerPanel);

    auto* buttons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(BTLoadDeck), static_cast<QWidget*>(BTRestoreDeck),
                       static_cast<QWidget*>(BTClearDeck), static_cast<QWidget*>(PCLoggerPanel)})
        buttons->addWidget(w);
    buttons->addStretch(1);
    buttons->addWidget(BTPortMap);

    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addSpacing(12);
    page->addWidget(GroupBox9);
    page->addWidget(CBRecordPCTime);
    page->addLayout(buttons);
    page->addStretch(1);
}

void PcLoggerPage::addGroup(QWidget* group) {
    auto* page = static_cast<QVBoxLayout*>(layout());
    page->insertWidget(page->count() - 1, group);
}

} // namespace cv
