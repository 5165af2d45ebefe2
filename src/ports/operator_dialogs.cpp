#include "ports/operator_dialogs.h"

namespace cv {

void WarningBox::show(const std::string& title, const std::string& text) {
    if (*m_open >= kMaxOpen) return;
    ++*m_open;
    m_dialogs.beep(Icon::Exclamation);
    m_dialogs.inform(title, text, Icon::Exclamation, [open = m_open] { --*open; });
}

} // namespace cv
