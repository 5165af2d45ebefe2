#include "setup/setup_screen_qt.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

#include "setup/sleep_dialog.h"
#include "setup/data_status_page.h"
#include "setup/logger_status_panel.h"
#include "setup/port_setup_page.h"
#include "setup/setup_dialogs_qt.h"
#include "widgets/clickable_label.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

// The setup screen's status display: the PC clock, and each arrived status on the Logger Status
// box, the installed rows of the Port Setup and Data Status pages and the setup's windows.

namespace cv {

// ---- status record ----

void SetupScreen::hostClockTick() { applyHostClock(m_follower.hostClockTick(m_services.clock)); }

void SetupScreen::applyHostClock(const status::HostClockView& v) {
    if (!v.newSecond) return;
    LBHostDandT->setText(qs(v.hostDateTime));
    tellState(LBHostDandT, LBHostDandT->text());
    m_dialogs->sleep()->showHostClock(qs(v.hostTime), qs(v.hostDate));
    // A logger passing a port through sends no status, nor is one read during a replay: its
    // clock is not late, only unheard, and the box says why.
    const LoggerFacts& facts = m_services.facts;
    m_statusPanel->showReplayRunning(facts.replayRunning);
    if (v.loggerTimeStale && !facts.portTestRunning && !facts.replayRunning)
        paintShade(m_statusPanel->LBDandT, Shade::Yellow);
}

status::TimeSync SetupScreen::timeSync() const {
    const MenuItems& menu = m_services.menu;
    return {menu.MenuAutoTimeUpdate->isChecked(), menu.MenuUpdateTimeNow->isChecked()};
}

void SetupScreen::showStatus(const status::StatusView& v) {
    applyStatus(v);
    // "Synchronize Time Now" is done with the status it went out with.
    m_services.menu.MenuUpdateTimeNow->setChecked(false);
}

void SetupScreen::applyStatus(const status::StatusView& v) {
    const status::StatusFields& f = v.fields;
    m_statusPanel->showReportingLook();
    m_statusPanel->LBDandT->show();

    if (v.rowNames)
        for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) {
            m_portSetup->LBS[p]->setText(qs(v.rowNames->portSetup[p]));
            m_dataStatus->MLabel[p]->setText(qs(v.rowNames->dataStatus[p]));
        }
    if (RemoteHostPanel->isHidden() == v.remoteHostOn) RemoteHostPanel->setVisible(v.remoteHostOn);
    m_statusPanel->HostType->setText(qs(v.hostType));
    for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) {
        const bool installed = v.portInstalled[p];
        for (QLabel* l : m_dataStatus->portRow(int(p))) l->setVisible(installed);
        m_portSetup->LBS[p]->setVisible(installed);
        m_portSetup->ComboMeter[p]->setVisible(installed);
        m_portSetup->CBPortSetup[p]->setVisible(installed);
    }
    bool anyAnalog = false;
    for (size_t a = 0; a < size_t(kAnalogChannels); ++a) {
        const bool installed = v.analogInstalled[a];
        anyAnalog = anyAnalog || installed;
        m_dataStatus->LBA[a]->setVisible(installed);
        m_dataStatus->Analog[a]->setVisible(installed);
        m_portSetup->LBAnalog[a]->setVisible(installed);
        m_portSetup->CBAnalog[a]->setVisible(installed);
    }
    m_dataStatus->AnalogFS->setVisible(anyAnalog);
    m_dataStatus->AnalogFileSizeLabel->setVisible(anyAnalog);
    for (size_t p = 0; p < size_t(kPumps); ++p) {
        m_portSetup->LBPumps[p]->setVisible(v.pumpInstalled[p]);
        m_portSetup->CBPump[p]->setVisible(v.pumpInstalled[p]);
    }
    refreshOncePerHourColumn();
    m_portSetup->LBSerial->setVisible(f.serialMask != 0);
    m_portSetup->LBAnalogSetup->setVisible(f.analogMask != 0);
    m_dataStatus->LBAnalog->setVisible(f.analogMask != 0);
    m_portSetup->LBPump->setVisible(f.pumpMask != 0);

    m_dialogs->showLoggerId(f.loggerId, v.askForLoggerId);

    if (v.runStop) {
        if (v.runStop->visible) m_statusPanel->LBRunStop->setVisible(*v.runStop->visible);
        m_statusPanel->LBRunStop->setText(qs(v.runStop->text));
    }
    m_statusPanel->LBRunNumber->setText(qs(v.runNumber));
    m_statusPanel->LBRunSize->setText(qs(v.runSize));
    m_statusPanel->LBPower->setText(qs(v.power));

    if (v.firmwareWarning) m_dialogs->showFirmwareWarning(qs(*v.firmwareWarning));
    if (v.captions) emit deviceCaptionsChanged(qs(v.captions->clearMemory), qs(v.captions->getDirectory));

    applyHostClock(v.clock);

    paintShade(m_statusPanel->LBDandT, Shade::ButtonFace);
    m_statusPanel->LBDandT->setText(qs(v.loggerDateTime));
    m_dialogs->sleep()->showLoggerClock(qs(v.sleepTime), qs(v.sleepDate));
    m_statusPanel->LBDrift->setVisible(v.drift.has_value());
    if (v.drift) m_statusPanel->LBDrift->setText(qs(*v.drift));

    paintShade(m_statusPanel->LBOperation, Shade::ButtonFace);
    m_statusPanel->LBOperation->setText(qs(v.operation));
    m_statusPanel->LBTimeLeft->setText(qs(v.timeLeft));
    m_statusPanel->LBCurrentV->setText(qs(v.currentV));
    m_statusPanel->LBStartV->setText(qs(v.startV));
    m_statusPanel->LBEndV->setText(qs(v.endV));
    m_statusPanel->LBFreeDisk->setText(qs(v.freeMemory));
    m_statusPanel->LBTotalDisk->setText(qs(v.totalMemory));
    for (size_t a = 0; a < size_t(kAnalogChannels); ++a) m_dataStatus->Analog[a]->setText(qs(v.analog[a]));
    m_dataStatus->AnalogFileSizeLabel->setText(qs(v.analogFileSize));
    for (size_t p = 0; p < size_t(kLoggerSerialPorts); ++p) {
        m_dataStatus->MBPSLabel[p]->setText(qs(v.ports[p].rateCaption));
        m_dataStatus->MStatusLabel[p]->setText(qs(v.ports[p].rate));
        m_dataStatus->MFileSizeLabel[p]->setText(qs(v.ports[p].fileSize));
    }
    relayout();
}

void SetupScreen::showIdentityCheck(bool started) {
    m_statusPanel->showStale(true);
    m_dataStatus->showStale(true);
    if (!started) return;
    const bool wasCurrent = m_setupMarker == 1;
    setSetupMarker(0);
    m_restoreCurrent = wasCurrent;
    emit loggerIdentityChanged(LoggerIdentityState::Checking);
}

void SetupScreen::showIdentityVerdict(const status::IdentityFinding& found) {
    const bool restore = m_restoreCurrent;
    m_restoreCurrent = false;
    LoggerIdentityState state = LoggerIdentityState::OtherLogger;
    switch (found.verdict) {
    case status::LoggerIdentityCheck::Verdict::Continuing: return;
    case status::LoggerIdentityCheck::Verdict::SameLogger:
        if (restore) setSetupMarker(1);
        state = LoggerIdentityState::SameLogger;
        break;
    case status::LoggerIdentityCheck::Verdict::OtherLogger:
        // The setup on the pages is the other one's: read this logger's in its place.
        forgetSetupSent();
        m_services.warnings.show(status::kOtherLoggerTitle, status::otherLoggerText(*found.was, found.now));
        m_services.automaticCommands().sendCommand(cmd::kGetSetup);
        break;
    case status::LoggerIdentityCheck::Verdict::Unknown:
        // Nothing to tell it by but its setup: reading it shows the setup of the logger that
        // answers, whichever it is.
        if (restore) m_services.automaticCommands().sendCommand(cmd::kGetSetup);
        break;
    }
    m_statusPanel->showStale(false);
    m_dataStatus->showStale(false);
    emit loggerIdentityChanged(state);
}

} // namespace cv
