#include "setup/setup_screen_qt.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/port_setup_page.h"
#include "widgets/clickable_label.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

// The setup screen's host mode layout: the Modes menu, its share of each layout, and the
// controls that follow the chosen logger mode (moored, polled) and the mode read-outs.

namespace cv {

namespace {
const std::pair<QAction* MenuItems::*, int> kModeMenuItems[] = {
    {&MenuItems::MenuProfile, hostmode::kProfileLogging},   {&MenuItems::MenuMoored, hostmode::kMooredLogging},
    {&MenuItems::MenuRealTimeOutput, hostmode::kRealTimeOutput}, {&MenuItems::MenuAnalog, hostmode::kAnalogOutput},
    {&MenuItems::MenuAdvanced, hostmode::kAdvancedUser},    {&MenuItems::PCLogger, hostmode::kPcLogger},
    {&MenuItems::MenuPSM3, hostmode::kPsm3Output},          {&MenuItems::Menubq5PassThru, hostmode::kBq5PassThru}};
} // namespace

void SetupScreen::connectModeMenu() {
    // One check mark in the menu tells the operator which mode the screen is laid out for.
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const auto& [item, mode] : kModeMenuItems) {
        QAction* a = m_services.menu.*item;
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, m = mode] { modeMenuClick(m); });
    }
    QAction* realTime = m_services.menu.MenuRealTimeOutput;
    realTime->setToolTip(hostmode::kRealTimeSameModeNote);
    for (QObject* o : realTime->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(o)) menu->setToolTipsVisible(true);
}

void SetupScreen::checkModeMenuItem() {
    for (const auto& [item, mode] : kModeMenuItems) (m_services.menu.*item)->setChecked(mode == m_currentHostMode);
}

// ---- host modes ----

void SetupScreen::modeMenuClick(int hostMode) { setupDisplayMode(hostMode); }

void SetupScreen::applyLayout(int mode) {
    const hostmode::Layout& l = *hostmode::layoutFor(mode);
    // The other subsystems lay out their own part first: the logger port may close here.
    emit hostModeLaidOut(l);

    m_loggerControl->CBAutoStart->show();
    m_loggerControl->CBAutoStart->setChecked(l.autoStartChecked);
    auto preset = [](QLabel* label, QComboBox* cb, const hostmode::ComboPreset& p) {
        label->setVisible(p.shown);
        cb->setVisible(p.shown);
        if (p.index == hostmode::kKeep) {
            if (cb->currentIndex() < 0) cb->setCurrentIndex(hostmode::kKeepDefault);
        } else {
            cb->setCurrentIndex(p.index);
        }
    };
    preset(m_loggerControl->ModeLB, m_loggerControl->ModeCB, l.modeCB);
    preset(m_loggerControl->FileLB, m_loggerControl->FileCB, l.fileCB);
    preset(m_loggerControl->OutputLB, m_loggerControl->OutputCB, l.outputCB);
    preset(m_loggerControl->TimeSourceLB, m_loggerControl->TimeSourceCB, l.timeSourceCB);

    RemoteHostPanel->hide();
    PStore->setVisible(l.setupMarker);
    m_statusPanel->setVisible(l.loggerStatus);
    m_statusPanel->LBPower->setVisible(l.power);
    m_statusPanel->LBRunStop->setVisible(l.runStop);
    m_statusPanel->LBRunNumber->setVisible(l.runNumber);
}

void SetupScreen::setupDisplayMode(int requestedMode) {
    // A mode is a view of the setup: the marker says whether the logger holds what the pages
    // show, so only a mode whose presets change a value of the setup makes it not current.
    const setup::SetupControls before = screenControls();
    const int markerBefore = m_setupMarker;
    const bool restoreBefore = m_restoreCurrent;
    m_requestedHostMode = requestedMode;
    if (requestedMode == hostmode::kNoRequest) m_services.warnings.show("HD", "Disp Done");
    if (hostmode::layoutFor(requestedMode)) applyLayout(requestedMode);

    m_statusPanel->HostMode->setText(qs(hostmode::hostModeName(requestedMode)));
    // The read-outs are compared against the mode being laid out, not the one it replaces.
    m_currentHostMode = requestedMode;
    m_requestedHostMode = hostmode::kNoRequest;
    checkModeMenuItem();
    recolourModeReadouts();

    const int mode = m_loggerControl->ModeCB->currentIndex();
    setMooredFlag(setup::isMooredMode(mode));
    showPolledButtons(mode == setup::kModePolledMoored);
    UDAnalogRateClick();
    if (markerBefore == 1 && screenControls() == before) {
        setSetupMarker(1);
        m_restoreCurrent = restoreBefore;
    }
    relayout();
}

void SetupScreen::setMooredFlag(bool flag) {
    m_moored = flag;
    setIntervalControlsShown(flag);
    refreshOncePerHourColumn();
}

void SetupScreen::setIntervalControlsShown(bool shown) {
    for (QWidget* w : {static_cast<QWidget*>(m_loggerControl->LBSampleInterval), static_cast<QWidget*>(m_loggerControl->scheduleUD[setup::kInterval]),
                       static_cast<QWidget*>(m_loggerControl->scheduleCombo[setup::kInterval]), static_cast<QWidget*>(m_loggerControl->BTSleep)})
        w->setVisible(shown);
}

void SetupScreen::refreshOncePerHourColumn() {
    auto anyRow = [](const auto& rows) {
        for (QWidget* w : rows)
            if (!w->isHidden()) return true;
        return false;
    };
    auto column = [this](const auto& rows, const auto& boxes, QLabel* heading1, QLabel* heading2, bool any) {
        heading1->setVisible(m_moored && any);
        heading2->setVisible(m_moored && any);
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (!m_moored) boxes[i]->setChecked(false);
            // The boxes follow the installed rows, as the status display leaves them.
            boxes[i]->setVisible(m_moored && !rows[i]->isHidden());
        }
    };
    column(m_portSetup->LBS, m_portSetup->SOPH, m_portSetup->SOPHLB1, m_portSetup->SOPHLB2, anyRow(m_portSetup->LBS));
    column(m_portSetup->LBAnalog, m_portSetup->AOPH, m_portSetup->AOPHLB1, m_portSetup->AOPHLB2, anyRow(m_portSetup->LBAnalog));
    column(m_portSetup->LBPumps, m_portSetup->POPH, m_portSetup->POPHLB1, m_portSetup->POPHLB2, anyRow(m_portSetup->LBPumps));
}

void SetupScreen::showPolledButtons(bool shown) {
    m_loggerControl->Button1->setVisible(shown);
    m_loggerControl->Button2->setVisible(shown);
    emit polledModeChosen(shown);
}

void SetupScreen::showLoggerMode(int operatingMode) {
    m_statusPanel->LoggerMode->setText(qs(hostmode::loggerModeText(operatingMode, m_services.facts.hasIntegratedMeter())));
    m_statusPanel->LoggerMode->show();
    m_shownLoggerMode = operatingMode;
    recolourModeReadouts();
}

void SetupScreen::recolourModeReadouts() {
    const bool loggerModeShown = !m_statusPanel->LoggerMode->isHidden();
    const QString note = qs(hostmode::modeReadoutNote(m_currentHostMode, loggerModeShown, m_shownLoggerMode,
                                                      m_services.facts.hasIntegratedMeter()));
    for (QLabel* l : {m_statusPanel->HostMode, m_statusPanel->LoggerMode}) {
        l->setToolTip(note);
        // The colour is not heard: the reason for it is, after the words the read-out shows.
        tellState(l, note.isEmpty() ? l->text() : l->text() + "\n" + note);
    }
    const auto shade = hostmode::modeReadoutShade(m_currentHostMode, loggerModeShown, m_shownLoggerMode);
    if (!shade) return;
    paintShade(m_statusPanel->LoggerMode, *shade);
    paintShade(m_statusPanel->HostMode, *shade);
}

} // namespace cv
