#include "hardware/hardware_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "hardware/password.h"
#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

const char* const HardwarePage::kCaption = "Hardware Configuration";

namespace {
QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, const QString& accessible) {
    auto* cb = named(new QComboBox(parent), name);
    cb->addItems(items);
    cb->setAccessibleName(accessible);
    return cb;
}
} // namespace

HardwarePage::HardwarePage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSHardware");
    setWindowTitle(kCaption);

    DeviceTypeCB = comboOf(this, "DeviceTypeCB", hardware::kDeviceTypeItems);
    DeviceTypeCB->setAccessibleName("Device or meter type");
    auto* deviceLabel = namedLabel(this, "LBDeviceType", "   Device/MeterType  ");
    deviceLabel->setBuddy(DeviceTypeCB);
    UDSerialNumber = named(new QSpinBox(this), "UDSerialNumber");
    UDSerialNumber->setRange(0, hardware::kMaxSerialNumber);
    UDSerialNumber->setAccessibleName("Serial number");
    if (auto* edit = UDSerialNumber->findChild<QLineEdit*>()) edit->setObjectName("SNEdit");
    auto* snLabel = namedLabel(this, "LBSerialNumber", "Serial Number");
    snLabel->setBuddy(UDSerialNumber);
    RunStopCB = comboOf(this, "RunStopCB", hardware::kRunStopItems);
    RunStopCB->setAccessibleName("Run/stop switch");
    StatusLEDCB = comboOf(this, "StatusLEDCB", hardware::kStatusLedItems);
    StatusLEDCB->setAccessibleName("Status LED");

    QStringList relayItems{"None"};
    for (int r = 1; r <= 8; ++r) relayItems << QString("Relay %1").arg(r);
    relayItems << "Self Powered";
    Q_ASSERT(relayItems.size() == hardware::kRelayItems);
    GroupBox1 = named(new QGroupBox("Relay Assignments", this), "GroupBox1");
    auto* grid = new QGridLayout(GroupBox1);
    const struct {
        const char* heading;
        const char* prefix;
        int first, count, firstPort;
    } groups[] = {{"Serial Ports", "RelaySP", 0, hardware::kSerialRelays, 1},
                  {"Analog Ports", "RelayAP", hardware::kSerialRelays, hardware::kAnalogRelays, 9},
                  {"Pump Power", "RelayPP", hardware::kSerialRelays + hardware::kAnalogRelays, hardware::kPumpRelays,
                   16}};
    int column = 0;
    for (const auto& g : groups) {
        grid->addWidget(new QLabel(g.heading, GroupBox1), 0, column, 1, 2);
        for (int k = 0; k < g.count; ++k) {
            const int port = g.firstPort + k;
            auto* label = new QLabel(QString("Port %1").arg(port), GroupBox1);
            auto* cb = combo(GroupBox1, "", relayItems, qs(hardware::relayName(g.first + k)));
            cb->setObjectName(QString("%1%2").arg(g.prefix).arg(k + 1));
            label->setBuddy(cb);
            relays[size_t(g.first + k)] = cb;
            grid->addWidget(label, k + 1, column);
            grid->addWidget(cb, k + 1, column + 1);
        }
        column += 2;
    }

    HardwarePanel = namedLabel(this, "HardwarePanel", hardware::kNotCurrentText);
    HardwarePanel->setAlignment(Qt::AlignCenter);
    HardwarePanel->setAutoFillBackground(true);
    setPanelColour(HardwarePanel, kYellow);
    keepPlaceWhenHidden(HardwarePanel);
    HWPassword = named(new QLineEdit(hardware::kPasswordPrompt, this), "HWPassword");
    HWPassword->setAccessibleName("Hardware password");
    Labelxx = namedLabel(this, "Labelxx", hardware::kPasswordCaption);

    BTGetHardware = named(new QPushButton("Get Hardware Configuration", this), "BTGetHardware");
    BTSendHardwareSetup = named(new QPushButton("Send Hardware Configuration", this), "BTSendHardwareSetup");
    BTLoadHardwareFile = named(new QPushButton("Load Hardware Config File", this), "BTLoadHardwareFile");
    BTSaveHardwareFile = named(new QPushButton("Save Hardware Config File", this), "BTSaveHardwareFile");
    BTDoneWithHardware = named(new QPushButton("Done", this), "BTDoneWithHardware");
    BTDoneWithHardware->setAccessibleName("Done with the hardware configuration");
    BTKR8Defaults = named(new QPushButton("Load Default Hardware Setup, Analog Calibration, Mux ID and Host Interface "
                                          "Setup into Flash Memory",
                                          this),
                          "BTKR8Defaults");

    BTKR8Defaults->setToolTip("Writes the factory defaults of all four into the logger's flash memory. Needs the "
                              "password.");
    HWPassword->setToolTip("Type the password shown above: Send and the flash defaults need it.");
    GroupBox1->setToolTip("The relay that powers each serial port, analog port and pump.");

    auto* top = new QGridLayout;
    top->addWidget(deviceLabel, 0, 0);
    top->addWidget(DeviceTypeCB, 0, 1);
    top->addWidget(snLabel, 1, 0);
    top->addWidget(UDSerialNumber, 1, 1);
    auto* runStopLabel = new QLabel("Run/Stop Switch", this);
    runStopLabel->setBuddy(RunStopCB);
    top->addWidget(runStopLabel, 2, 0);
    top->addWidget(RunStopCB, 2, 1);
    auto* ledLabel = new QLabel("Status LED", this);
    ledLabel->setBuddy(StatusLEDCB);
    top->addWidget(ledLabel, 3, 0);
    top->addWidget(StatusLEDCB, 3, 1);
    auto* buttons = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{HardwarePanel, BTGetHardware, BTSendHardwareSetup, Labelxx,
                                                      HWPassword, BTLoadHardwareFile, BTSaveHardwareFile,
                                                      BTDoneWithHardware})
        buttons->addWidget(w);
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addWidget(GroupBox1);
    LBHardwareSent = wordLabel(this, "LBHardwareSent", "Last Send Hardware Configuration");
    left->addWidget(LBHardwareSent);
    left->addStretch();
    row->addLayout(left, 3);
    row->addLayout(buttons, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(row);
    outer->addWidget(BTKR8Defaults);
}

} // namespace cv
