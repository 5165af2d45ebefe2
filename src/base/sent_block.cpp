#include "base/sent_block.h"

#include "base/text_format.h"

namespace cv {

void SentBlockWord::sent(bool wentOut, const std::tm& at) {
    m_awaiting = wentOut;
    m_differs = false;
    m_text = std::string(m_sentName) + (wentOut ? " sent " : " not sent ") + formatTime("%H:%M:%S", at);
}

void SentBlockWord::arrived(bool same, const std::tm& at) {
    if (!m_awaiting) return;
    m_differs = !same;
    const std::string when = formatTime("(Get %H:%M:%S)", at);
    m_text = format(same ? "Logger took the %s %s" : "Logger holds another %s %s", m_noun, when.c_str());
}

void SentBlockWord::forget() {
    m_text.clear();
    m_awaiting = false;
    m_differs = false;
}

} // namespace cv
