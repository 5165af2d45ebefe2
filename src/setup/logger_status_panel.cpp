#include "setup/logger_status_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

LoggerStatusPanel::LoggerStatusPanel(QWidget* parent) : QGroupBox(kCaption, parent) {
    setObjectName("LoggerStatusGB");
    m_body = new QWidget(this);
    m_body->setObjectName("LoggerStatusBody");

    LBOperation = namedLabel(m_body, "LBOperation", "Unknown");
    LBDandT = namedLabel(m_body, "LBDandT");
    LBDrift = namedLabel(m_body, "LBDrift");
    LBTimeLeft = namedLabel(m_body, "LBTimeLeft");
    LBCurrentV = namedLabel(m_body, "LBCurrentV");
    LBStartV = namedLabel(m_body, "LBStartV");
    LBEndV = namedLabel(m_body, "LBEndV");
    LBFreeDisk = namedLabel(m_body, "LBFreeDisk");
    LBTotalDisk = namedLabel(m_body, "LBTotalDisk");
    LBRunStop = namedLabel(m_body, "LBRunStop", "Run/Stop Switch:");
    LBRunNumber = namedLabel(m_body, "LBRunNumber", "Run Number:");
    LBRunSize = namedLabel(m_body, "LBRunSize", "Run File Size:");
    LBPower = namedLabel(m_body, "LBPower", "Power:");
    HostType = namedLabel(m_body, "HostType", "Host:");
    HostMode = namedLabel(m_body, "HostMode", "No Mode Selected");
    LoggerMode = namedLabel(m_body, "LoggerMode");
    for (QLabel* l : {LBDandT, LBDrift, LBRunStop, LBRunNumber, LBPower, LoggerMode}) l->hide();
    for (QLabel* l : {LBOperation, LBDandT, HostMode, LoggerMode}) {
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        paintShade(l, Shade::ButtonFace);
    }

    auto* g = new QGridLayout(m_body);
    g->setContentsMargins(2, 0, 2, 0);
    g->setVerticalSpacing(1);
    int row = 0;
    g->addWidget(namedLabel(m_body, "LBOperationCaption", "Status:"), row, 0);
    g->addWidget(LBOperation, row++, 1, 1, 3);
    g->addWidget(LBDandT, row++, 0, 1, 4);
    g->addWidget(LBDrift, row++, 0, 1, 4);
    g->addWidget(namedLabel(m_body, "LBTimeLeftCaption", "Time Left:"), row, 0);
    g->addWidget(LBTimeLeft, row++, 1, 1, 3);
    g->addWidget(namedLabel(m_body, "LBVoltageCaption", "Volts:"), row, 0);
    g->addWidget(namedLabel(m_body, "LBCurrentVCaption", "Now"), row, 1);
    g->addWidget(namedLabel(m_body, "LBStartVCaption", "Start"), row, 2);
    g->addWidget(namedLabel(m_body, "LBEndVCaption", "End"), row++, 3);
    g->addWidget(LBCurrentV, row, 1);
    g->addWidget(LBStartV, row, 2);
    g->addWidget(LBEndV, row++, 3);
    g->addWidget(namedLabel(m_body, "LBFreeDiskCaption", "Free Memory:"), row, 0);
    g->addWidget(LBFreeDisk, row++, 1, 1, 3);
    g->addWidget(namedLabel(m_body, "LBTotalDiskCaption", "Total Memory:"), row, 0);
    g->addWidget(LBTotalDisk, row++, 1, 1, 3);
    g->addWidget(LBRunStop, row++, 0, 1, 4);
    g->addWidget(LBRunNumber, row++, 0, 1, 4);
    g->addWidget(LBRunSize, row++, 0, 1, 4);
    g->addWidget(LBPower, row++, 0, 1, 4);
    g->addWidget(HostType, row++, 0, 1, 4);
    g->addWidget(namedLabel(m_body, "HostModeCaption", "Host Mode:"), row, 0);
    g->addWidget(HostMode, row++, 1, 1, 3);
    g->addWidget(namedLabel(m_body, "LoggerModeCaption", "Logger Mode:"), row, 0);
    g->addWidget(LoggerMode, row++, 1, 1, 3);
    g->setRowStretch(row, 1);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(2, 1);
    g->setColumnStretch(3, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 2, 4, 2);
    outer->addWidget(m_body);
    showStartUpLook();
}

void LoggerStatusPanel::showStartUpLook() {
    m_body->hide();
    setFixedHeight(kCollapsedHeight);
    paintShade(this, Shade::Yellow);
}

void LoggerStatusPanel::showReportingLook() {
    m_body->show();
    setFixedHeight(kReportingHeight);
    paintShade(this, Shade::ButtonFace);
}

void LoggerStatusPanel::showStale(bool stale) { m_body->setEnabled(!stale); }

void LoggerStatusPanel::showReplayRunning(bool running) {
    const QString caption = running ? kReplayCaption : kCaption;
    if (title() == caption) return;
    setTitle(caption);
    const QString why = running ? "An archive replay feeds the program: the logger's status is not read until it ends."
                                : QString();
    setToolTip(why);
    setAccessibleDescription(why);
}

} // namespace cv
