#include "setup/data_status_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

DataStatusPage::DataStatusPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSDataStatus");

    auto* ports = new QGroupBox("Logger Ports", this);
    m_loggerPorts = ports;
    auto* pg = new QGridLayout(ports);
    pg->setHorizontalSpacing(14);
    for (int p = 0; p < kLoggerSerialPorts; ++p) {
        const QString m = QString("M%1").arg(p + 1);
        MLabel[size_t(p)] = namedLabel(ports, m + "Label", QString("Port %1").arg(p + 1));
        MTypeLabel[size_t(p)] = namedLabel(ports, m + "TypeLabel", "OFF");
        MBPSLabel[size_t(p)] = namedLabel(ports, m + "BPSLabel", "Bytes/Second:");
        MStatusLabel[size_t(p)] = namedLabel(ports, m + "StatusLabel", "0");
        MFSLabel[size_t(p)] = namedLabel(ports, m + "FSLabel", "File Size:");
        MFileSizeLabel[size_t(p)] = namedLabel(ports, m + "FileSizeLabel", "0 K");
        int column = 0;
        for (QLabel* l : portRow(p)) pg->addWidget(l, p, column++);
        MStatusLabel[size_t(p)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        MFileSizeLabel[size_t(p)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        MStatusLabel[size_t(p)]->setMinimumWidth(60);
        MFileSizeLabel[size_t(p)]->setMinimumWidth(80);
        MTypeLabel[size_t(p)]->setMinimumWidth(90);
    }
    pg->setRowStretch(8, 1);

    auto* analog = new QGroupBox("Analog Inputs", this);
    m_loggerAnalog = analog;
    auto* ag = new QGridLayout(analog);
    LBAnalog = namedLabel(analog, "LBAnalog", "Volts");
    ag->addWidget(LBAnalog, 0, 1, Qt::AlignRight);
    for (int a = 0; a < kAnalogChannels; ++a) {
        LBA[size_t(a)] = namedLabel(analog, QString("LBA%1").arg(a + 1), QString("Analog %1:").arg(a + 1));
        Analog[size_t(a)] = namedLabel(analog, QString("Analog%1").arg(a + 1), "0.000");
        Analog[size_t(a)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Analog[size_t(a)]->setMinimumWidth(60);
        ag->addWidget(LBA[size_t(a)], a + 1, 0);
        ag->addWidget(Analog[size_t(a)], a + 1, 1);
    }
    AnalogFS = namedLabel(analog, "AnalogFS", "Analog File Size:");
    AnalogFileSizeLabel = namedLabel(analog, "AnalogFileSizeLabel", "0");
    AnalogFileSizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ag->addWidget(AnalogFS, 8, 0);
    ag->addWidget(AnalogFileSizeLabel, 8, 1);
    ag->setRowStretch(9, 1);

    auto* pc = new QGroupBox("PC-Logger", this);
    auto* cg = new QVBoxLayout(pc);
    DSPCPorts = namedLabel(pc, "DSPCPorts", "PC-Logger Ports");
    DSPCPorts->hide();
    cg->addWidget(DSPCPorts);
    for (int p = 0; p < kPcLoggerPorts; ++p) {
        DSPCPort[size_t(p)] = namedLabel(pc, QString("DSPCPort%1").arg(p + 1), QString("Port %1:").arg(p + 1));
        DSPCPort[size_t(p)]->setMinimumWidth(150);
        DSPCPort[size_t(p)]->hide();
        cg->addWidget(DSPCPort[size_t(p)]);
    }
    cg->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(ports);
    top->addWidget(analog);
    top->addWidget(pc);
    top->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addStretch(1);
}

std::array<QLabel*, 6> DataStatusPage::portRow(int n) const {
    const size_t i = size_t(n);
    return {MLabel[i], MTypeLabel[i], MBPSLabel[i], MStatusLabel[i], MFSLabel[i], MFileSizeLabel[i]};
}

void DataStatusPage::showStale(bool stale) {
    m_loggerPorts->setEnabled(!stale);
    m_loggerAnalog->setEnabled(!stale);
}

void DataStatusPage::showPcLoggerTraffic(int line, const QString& text, bool inUse, bool dropping) {
    if (line < 1 || line > int(DSPCPort.size())) return;
    const size_t i = size_t(line - 1);
    QLabel* shown = DSPCPort[i];
    shown->setText(text);
    shown->setVisible(inUse);
    if (dropping != m_pcPortDropping[i]) setPanelColour(shown, dropping ? kRed : normalPanelColour());
    m_pcPortDropping[i] = dropping;
    bool anyShown = false;
    for (const QLabel* l : DSPCPort) anyShown = anyShown || !l->isHidden();
    DSPCPorts->setVisible(anyShown);
}

} // namespace cv
