#include "hardware/test_port_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "hardware/port_test.h"
#include "protocol/speed_choices.h"
#include "widgets/widget_helpers.h"

namespace cv {

TTestPortForm::TTestPortForm(WarningBox& warnings, Hooks hooks, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_warnings(warnings), m_hooks(std::move(hooks)) {
    setObjectName("TestPortForm");
    setWindowTitle(porttest::kCaption);
    setModal(false);

    CBTestPort = named(new QComboBox(this), "CBTestPort");
    for (int p = 1; p <= kLoggerSerialPorts; ++p) CBTestPort->addItem(QString("Port %1").arg(p));
    CBTestPort->addItem("Analog Ports");
    CBTestPort->setAccessibleName("Logger port to test");
    CBTestPortSetup = named(new QComboBox(this), "CBTestPortSetup");
    CBHostPortSetup = named(new QComboBox(this), "CBHostPortSetup");
    for (QComboBox* cb : {CBTestPortSetup, CBHostPortSetup})
        for (const char* item : kSpeedChoiceItems) cb->addItem(item);
    CBTestPortSetup->setAccessibleName("Test port setup");
    CBHostPortSetup->setAccessibleName("Host port setup");
    BTTestPort = named(new QPushButton("Start Test", this), "BTTestPort");
    BTStopTest = named(new QPushButton("Stop Test", this), "BTStopTest");

    auto* grid = new QGridLayout(this);
    const std::pair<const char*, QComboBox*> rows[] = {
        {"Test Port", CBTestPort}, {"Test Port Setup", CBTestPortSetup}, {"Host Port Setup", CBHostPortSetup}};
    int r = 0;
    for (const auto& [text, cb] : rows) {
        auto* label = new QLabel(text, this);
        label->setBuddy(cb);
        grid->addWidget(label, r, 0);
        grid->addWidget(cb, r++, 1);
    }
    grid->addWidget(BTTestPort, r, 0);
    grid->addWidget(BTStopTest, r, 1);
    // Wide enough for its caption beside the title bar's buttons, which say what it tests.
    setMinimumWidth(fontMetrics().horizontalAdvance(porttest::kCaption) + 160);

    connect(BTTestPort, &QPushButton::clicked, this, &TTestPortForm::BTTestPortClick);
    connect(BTStopTest, &QPushButton::clicked, this, &TTestPortForm::BTStopTestClick);
    // Closing by the title bar and by Escape both end here.
    connect(this, &QDialog::finished, this, [this] {
        if (m_hooks.closed) m_hooks.closed();
    });
    FormCreate();
}

void TTestPortForm::FormCreate() {
    CBTestPort->setCurrentIndex(0);
    CBTestPortSetup->setCurrentIndex(porttest::kInitialSpeedChoice);
    CBHostPortSetup->setCurrentIndex(porttest::kInitialSpeedChoice);
}

void TTestPortForm::BTTestPortClick() {
    if (CBTestPort->currentIndex() < 0) CBTestPort->setCurrentIndex(0);
    const porttest::LineSetting test = porttest::lineSettingFor(CBTestPortSetup->currentIndex());
    if (test.baud == 0) {
        m_warnings.show(porttest::kErrorTitle, porttest::kNoTestSetupText);
        return;
    }
    const porttest::LineSetting host = porttest::lineSettingFor(CBHostPortSetup->currentIndex());
    if (host.baud == 0) {
        m_warnings.show(porttest::kErrorTitle, porttest::kNoHostSetupText);
        return;
    }
    const porttest::Block block = porttest::buildPortTestBlock(CBTestPort->currentIndex(), test, host);
    if (m_hooks.showRawLoggerData) m_hooks.showRawLoggerData();
    if (m_hooks.send) m_hooks.send(block.data(), block.size());
}

void TTestPortForm::BTStopTestClick() {
    if (m_hooks.stop) m_hooks.stop();
}

} // namespace cv
