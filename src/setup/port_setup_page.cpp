#include "setup/port_setup_page.h"
#include "setup/setup_send_row.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <type_traits>

#include "widgets/widget_helpers.h"
#include "setup/setup_record.h"

namespace cv {

namespace {

QCheckBox* hourBox(QWidget* parent, const QString& name) {
    auto* box = named(new QCheckBox(parent), name);
    box->setToolTip("Sample once per hour");
    box->hide();
    return box;
}

QLabel* hourHeading(QWidget* parent, const QString& name, const char* text) {
    auto* l = named(new QLabel(text, parent), name);
    l->setAlignment(Qt::AlignCenter);
    l->hide();
    return l;
}

} // namespace

PortSetupPage::PortSetupPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSPortSetup");

    auto* serial = new QGroupBox(this);
    auto* sg = new QGridLayout(serial);
    LBSerial = named(new QLabel("Serial Ports", serial), "LBSerial");
    LBMeterTypeHeading = named(new QLabel("Meter Type", serial), "LBMeterTypeHeading");
    LBBaudRateHeading = named(new QLabel("Baud Rate", serial), "LBBaudRateHeading");
    SOPHLB1 = hourHeading(serial, "SOPHLB1", "Once per");
    SOPHLB2 = hourHeading(serial, "SOPHLB2", "Hour");
    sg->addWidget(LBSerial, 0, 0, 2, 1, Qt::AlignBottom);
    sg->addWidget(LBMeterTypeHeading, 0, 1, 2, 1, Qt::AlignBottom);
    sg->addWidget(LBBaudRateHeading, 0, 2, 2, 1, Qt::AlignBottom);
    sg->addWidget(SOPHLB1, 0, 3);
    sg->addWidget(SOPHLB2, 1, 3);
    for (int p = 0; p < kLoggerSerialPorts; ++p) {
        const int row = p + 2;
        LBS[size_t(p)] = named(new QLabel(QString("Port %1").arg(p + 1), serial), QString("LBS%1").arg(p + 1));
        ComboMeter[size_t(p)] = comboOf(serial, QString("ComboMeter%1").arg(p + 1), setup::kPortTypeItemTexts);
        ComboMeter[size_t(p)]->setPlaceholderText("Meter Type");
        ComboMeter[size_t(p)]->setCurrentIndex(-1);
        CBPortSetup[size_t(p)] = comboOf(serial, QString("CBPort%1Setup").arg(p + 1), setup::kSpeedItems);
        CBPortSetup[size_t(p)]->setPlaceholderText("Baud Rate");
        CBPortSetup[size_t(p)]->setCurrentIndex(-1);
        SOPH[size_t(p)] = hourBox(serial, QString("SOPH%1").arg(p + 1));
        spokenAs(ComboMeter[size_t(p)], QString("Port %1 meter type").arg(p + 1));
        spokenAs(CBPortSetup[size_t(p)], QString("Port %1 speed").arg(p + 1));
        spokenAs(SOPH[size_t(p)], QString("Port %1 once per hour").arg(p + 1));
        sg->addWidget(LBS[size_t(p)], row, 0);
        sg->addWidget(ComboMeter[size_t(p)], row, 1);
        sg->addWidget(CBPortSetup[size_t(p)], row, 2);
        sg->addWidget(SOPH[size_t(p)], row, 3, Qt::AlignCenter);
    }
    LBHostPort = named(new QLabel("Host Port", serial), "LBHostPort");
    CBHostPortSetup = comboOf(serial, "CBHostPortSetup", setup::kSpeedItems, setup::kHostSpeedItems);
    CBHostPortSetup->setCurrentIndex(setup::kSpeed9600);
    spokenAs(CBHostPortSetup, "Host port speed");
    sg->setRowMinimumHeight(10, 12);
    sg->addWidget(LBHostPort, 11, 0);
    sg->addWidget(CBHostPortSetup, 11, 2);
    sg->setColumnMinimumWidth(1, 150);
    sg->setColumnMinimumWidth(2, 120);
    sg->setColumnMinimumWidth(3, 60);
    sg->setRowStretch(12, 1);

    auto* analog = new QGroupBox(this);
    auto* ag = new QGridLayout(analog);
    LBAnalogSetup = named(new QLabel("Analog Channels", analog), "LBAnalogSetup");
    AOPHLB1 = hourHeading(analog, "AOPHLB1", "Once per");
    AOPHLB2 = hourHeading(analog, "AOPHLB2", "Hour");
    ag->addWidget(LBAnalogSetup, 0, 0, 2, 2, Qt::AlignBottom);
    ag->addWidget(AOPHLB1, 0, 2);
    ag->addWidget(AOPHLB2, 1, 2);
    for (int a = 0; a < kAnalogChannels; ++a) {
        const int row = a + 2;
        LBAnalog[size_t(a)] = named(new QLabel(QString("Analog %1").arg(a + 1), analog), QString("LBAnalog%1").arg(a + 1));
        CBAnalog[size_t(a)] = comboOf(analog, QString("CBAnalog%1").arg(a + 1), setup::kAnalogItems);
        AOPH[size_t(a)] = hourBox(analog, QString("AOPH%1").arg(a + 1));
        spokenAs(CBAnalog[size_t(a)], QString("Analog %1 channel").arg(a + 1));
        spokenAs(AOPH[size_t(a)], QString("Analog %1 once per hour").arg(a + 1));
        ag->addWidget(LBAnalog[size_t(a)], row, 0);
        ag->addWidget(CBAnalog[size_t(a)], row, 1);
        ag->addWidget(AOPH[size_t(a)], row, 2, Qt::AlignCenter);
    }
    ag->setColumnMinimumWidth(1, 110);
    ag->setColumnMinimumWidth(2, 60);
    ag->setRowStretch(9, 1);

    auto* pumps = new QGroupBox(this);
    auto* pg = new QGridLayout(pumps);
    LBPump = named(new QLabel("Pumps", pumps), "LBPump");
    POPHLB1 = hourHeading(pumps, "POPHLB1", "Once per");
    POPHLB2 = hourHeading(pumps, "POPHLB2", "Hour");
    pg->addWidget(LBPump, 0, 0, 2, 2, Qt::AlignBottom);
    pg->addWidget(POPHLB1, 0, 2);
    pg->addWidget(POPHLB2, 1, 2);
    for (int p = 0; p < kPumps; ++p) {
        const int row = p + 2;
        LBPumps[size_t(p)] = named(new QLabel(QString("Pump %1").arg(p + 1), pumps), QString("LBPump%1").arg(p + 1));
        CBPump[size_t(p)] = p == 3 ? comboOf(pumps, "CBPump4", setup::kPurgePumpItems)
                                   : comboOf(pumps, QString("CBPump%1").arg(p + 1), setup::kPumpItems);
        POPH[size_t(p)] = hourBox(pumps, QString("POPH%1").arg(p + 1));
        spokenAs(CBPump[size_t(p)], QString("Pump %1").arg(p + 1));
        spokenAs(POPH[size_t(p)], QString("Pump %1 once per hour").arg(p + 1));
        pg->addWidget(LBPumps[size_t(p)], row, 0);
        pg->addWidget(CBPump[size_t(p)], row, 1);
        pg->addWidget(POPH[size_t(p)], row, 2, Qt::AlignCenter);
    }
    pg->setColumnMinimumWidth(1, 110);
    pg->setColumnMinimumWidth(2, 60);
    pg->setRowStretch(6, 1);

    BTGetSetup1 = named(new QPushButton("Get Setup", this), "BTGetSetup1");
    BTSendSetup1 = named(new QPushButton("Send Setup", this), "BTSendSetup1");
    spokenAs(BTGetSetup1, "Get setup (Port Setup page)");
    spokenAs(BTSendSetup1, "Send setup (Port Setup page)");
    CBHostPortSetup->setToolTip(
        "The speed of the logger's own host port. The PC follows it when the setup comes back.");

    auto* right = new QVBoxLayout;
    right->addWidget(analog);
    right->addWidget(pumps);
    right->addStretch(1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(serial);
    groups->addLayout(right);
    groups->addStretch(1);

    const SetupSendRow row = setupSendRow(this, BTGetSetup1, BTSendSetup1, "1", "Port Setup page");
    QHBoxLayout* buttons = row.buttons;
    LBSetupSent = row.sent;
    LBLineCapacity = row.capacity;

    auto* page = new QVBoxLayout(this);
    page->addLayout(groups);
    page->addLayout(buttons);
    page->addWidget(LBLineCapacity);
    page->addStretch(1);
}

} // namespace cv
