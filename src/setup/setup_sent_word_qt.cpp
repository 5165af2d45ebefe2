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
    const setup::EncodeResult sent = setup::encodeSetup(c, m_services.facts.hasIntegratedMeter(), record);
    // The load is the sent rate's, so a rate Send changes is named beside it, before Send.
    const std::string load = setup::lineLoadWarning(setup::estimateLineLoad(record));
    const std::string note = setup::analogRateSentNote(c.analogRate, sent.shown.analogRate);
    const QString warning = qs(load + (!load.empty() && !note.empty() ? "\n" : "") + note);
    for (QLabel* l : {m_portSetup->LBLineCapacity, m_loggerControl->LBLineCapacity}) {
        if (l->text() == warning) continue;
        showCaption(l, warning);
        paintShade(l, Shade::Yellow);
        l->setAutoFillBackground(!warning.isEmpty());
    }
}

} // namespace cv
