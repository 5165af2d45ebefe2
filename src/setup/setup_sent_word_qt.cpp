#include "setup/setup_screen_qt.h"

#include <QLabel>

#include "setup/line_capacity.h"
#include "setup/logger_control_page.h"
#include "setup/port_setup_page.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

// What became of the last Send Setup, beside both Send buttons, and whether the setup on the
// screen fits the logger's host port, below them.

namespace cv {

void SetupScreen::showSetupSent(bool wentOut) {
    HostClock& clock = m_services.clock;
    m_setupSent.sent(wentOut, clock.localTime(clock.now()));
    for (QLabel* l : {m_portSetup->LBSetupSent, m_loggerControl->LBSetupSent}) {
        showCaption(l, qs(m_setupSent.text()));
        l->setAutoFillBackground(false);
    }
}

void SetupScreen::forgetSetupSent() {
    m_setupSent.forget();
    for (QLabel* l : {m_portSetup->LBSetupSent, m_loggerControl->LBSetupSent}) {
        showCaption(l, {});
        l->setAutoFillBackground(false);
    }
}

void SetupScreen::compareArrivedSetup() {
    HostClock& clock = m_services.clock;
    m_setupSent.arrived(setup::sameOwnedFields(m_lastSent, m_services.records.setup), clock.localTime(clock.now()));
    for (QLabel* l : {m_portSetup->LBSetupSent, m_loggerControl->LBSetupSent}) {
        showCaption(l, qs(m_setupSent.text()));
        paintShade(l, Shade::Yellow);
        l->setAutoFillBackground(m_setupSent.differs());
    }
}

void SetupScreen::refreshLineCapacity() {
    setup::SetupControls c = screenControls();
    keepHiddenUnchosen(c);
    // Judged on the record as Send would send it, rate limits and the built-in meter applied.
    SetupBytes record = m_services.records.setup;
    setup::encodeSetup(c, m_services.facts.hasIntegratedMeter(), record);
    const QString warning = qs(setup::lineLoadWarning(setup::estimateLineLoad(record)));
    for (QLabel* l : {m_portSetup->LBLineCapacity, m_loggerControl->LBLineCapacity}) {
        if (l->text() == warning) continue;
        showCaption(l, warning);
        paintShade(l, Shade::Yellow);
        l->setAutoFillBackground(!warning.isEmpty());
    }
}

} // namespace cv
