#include "setup/setup_screen_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "setup/logger_control_page.h"
#include "setup/port_setup_page.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

// The setup screen's lines of the host setup file.

namespace cv {

// ---- host setup file ----

namespace {
// Line 6: the menu items at positions 1 to 6 and 8; position 5 is a check mark.
constexpr std::array<QAction* MenuItems::*, 8> kLine6Items{
    &MenuItems::Menubq5PassThru,    &MenuItems::MenuAnnotateFile,  &MenuItems::MenuLoggerTimeUpdate,
    &MenuItems::MenuAutoTimeUpdate, &MenuItems::MenuAutoTimeUpdate, &MenuItems::MenuUpdateTimeNow,
    nullptr,                        &MenuItems::MenuChangeLoggerID};
constexpr size_t kLine6Checked = 4;
} // namespace

void SetupScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    auto shown = [](const QWidget* w) { return w->isHidden() ? 0 : 1; };
    switch (number) {
    case hostline::kLoggerPort: v.at(2) = m_portSetup->CBHostPortSetup->currentIndex(); break;
    case hostline::kHostMode: v.at(0) = m_currentHostMode; break;
    case hostline::kMenus:
        for (size_t i = 0; i < kLine6Items.size(); ++i) {
            const QAction* a = kLine6Items[i] ? m_services.menu.*kLine6Items[i] : nullptr;
            if (a) v.at(i) = (i == kLine6Checked ? a->isChecked() : a->isVisible()) ? 1 : 0;
        }
        break;
    case hostline::kTimeSource:
        v.at(0) = m_services.menu.MenuMooredTimeUpdate->isVisible() ? 1 : 0;
        v.at(1) = m_services.menu.MenuMooredTimeUpdate->isChecked() ? 1 : 0;
        v.at(2) = shown(m_loggerControl->TimeSourceCB);
        v.at(3) = m_loggerControl->TimeSourceCB->currentIndex();
        break;
    case hostline::kAutoStart:
        v.at(2) = 1;
        v.at(3) = m_loggerControl->CBAutoStart->isChecked() ? 1 : 0;
        break;
    case hostline::kSetupBoxes:
        v.at(0) = shown(m_loggerControl->ModeCB);
        v.at(1) = m_loggerControl->ModeCB->currentIndex();
        v.at(2) = shown(m_loggerControl->FileCB);
        v.at(3) = m_loggerControl->FileCB->currentIndex();
        v.at(4) = shown(m_loggerControl->OutputCB);
        v.at(5) = m_loggerControl->OutputCB->currentIndex();
        break;
    default: break;
    }
}

void SetupScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad& load) {
    switch (number) {
    case hostline::kLoggerPort:
        if (load.currentVersion) setIndex(m_portSetup->CBHostPortSetup, v.at(2));
        setSetupMarker(0);
        break;
    case hostline::kHostMode: setupDisplayMode(v.at(0) >= hostmode::kAnalogOutput && v.at(0) <= hostmode::kPcLogger ? v.at(0) : hostmode::kNone); break;
    case hostline::kMenus:
        for (size_t i = 0; i < kLine6Items.size(); ++i) {
            QAction* a = kLine6Items[i] ? m_services.menu.*kLine6Items[i] : nullptr;
            if (!a) continue;
            if (i == kLine6Checked) a->setChecked(v.at(i) != 0);
            else a->setVisible(v.at(i) != 0);
        }
        setIntervalControlsShown(m_currentHostMode == hostmode::kMooredLogging ||
                                 m_currentHostMode == hostmode::kAdvancedUser);
        relayout();
        break;
    case hostline::kTimeSource:
        m_services.menu.MenuMooredTimeUpdate->setVisible(v.at(0) != 0);
        m_services.menu.MenuMooredTimeUpdate->setChecked(v.at(1) != 0);
        m_loggerControl->TimeSourceCB->setVisible(v.at(2) != 0);
        m_loggerControl->TimeSourceLB->setVisible(v.at(2) != 0);
        setIndex(m_loggerControl->TimeSourceCB, v.at(3));
        break;
    case hostline::kAutoStart:
        m_loggerControl->CBAutoStart->show();
        m_loggerControl->CBAutoStart->setChecked(v.at(3) != 0);
        break;
    case hostline::kSetupBoxes: {
        const std::pair<QLabel*, QComboBox*> boxes[] = {
            {m_loggerControl->ModeLB, m_loggerControl->ModeCB}, {m_loggerControl->FileLB, m_loggerControl->FileCB}, {m_loggerControl->OutputLB, m_loggerControl->OutputCB}};
        for (size_t i = 0; i < 3; ++i) {
            const auto& [label, box] = boxes[i];
            setIndex(box, v.at(2 * i + 1));
            box->setVisible(v.at(2 * i) != 0);
            label->setVisible(v.at(2 * i) != 0);
        }
        break;
    }
    default: break;
    }
}

} // namespace cv
