#pragma once
// The word a page shows after its Send: that the block went out and when, and, once a later Get
// brings the logger's copy back, whether the logger holds what was sent. A Send gets no answer of
// its own, so the next record of the same kind is the only proof the logger took it.
#include <ctime>
#include <string>

namespace cv {

class SentBlockWord {
public:
    // `sentName` begins the sent line ("Setup"), `noun` names the block in the answer ("setup").
    SentBlockWord(const char* sentName, const char* noun) : m_sentName(sentName), m_noun(noun) {}

    // The Send went out (queued on the port) or not, at the PC's local time `at`.
    void sent(bool wentOut, const std::tm& at);
    // A record of this kind arrived; `same`: it holds what was last sent. Nothing changes when
    // nothing went out since the host started.
    void arrived(bool same, const std::tm& at);
    // Another logger answers now: the last Send went to the one before, and nothing is said of it.
    void forget();

    // "Setup sent 10:42:07", "Setup not sent 10:42:07", "Logger took the setup (Get 10:42:15)",
    // "Logger holds another setup (Get 10:42:15)"; empty before the first Send.
    const std::string& text() const { return m_text; }
    // The last answer showed a different block.
    bool differs() const { return m_differs; }

private:
    const char* m_sentName;
    const char* m_noun;
    std::string m_text;
    bool m_awaiting = false;
    bool m_differs = false;
};

} // namespace cv
