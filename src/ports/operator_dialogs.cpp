#include "ports/operator_dialogs.h"

namespace cv {

void WarningBox::show(const std::string& title, const std::string& text) {
    if (m_open >= kMaxOpen) return;
    ++m_open;
    m_dialogs.beep(Icon::Exclamation);
    m_dialogs.ask(title, text, Buttons::Ok, Icon::Exclamation);
    --m_open;
}

} // namespace cv
