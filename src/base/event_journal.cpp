#include "base/event_journal.h"

namespace cv {

void EventJournal::report(const std::string& kind, Severity severity, const std::string& text, uint32_t nowMs) {
    auto [it, fresh] = m_kinds.try_emplace(kind);
    Kind& k = it->second;
    if (fresh || uint32_t(nowMs - k.since) >= kMinuteMs) {
        tellHeld(k);
        k.since = nowMs;
        k.told = 0;
    }
    if (k.told < kLinesPerMinute) {
        ++k.told;
        write(severity, text);
        return;
    }
    ++k.held;
    k.lastHeld = text;
    // The held summary is as severe as the worst it stands for.
    if (k.held == 1 || int(severity) < int(k.heldSeverity)) k.heldSeverity = severity;
}

void EventJournal::tick(uint32_t nowMs) {
    for (auto it = m_kinds.begin(); it != m_kinds.end();) {
        if (uint32_t(nowMs - it->second.since) >= kMinuteMs) {
            tellHeld(it->second);
            it = m_kinds.erase(it);
        } else {
            ++it;
        }
    }
}

void EventJournal::flush() {
    for (auto& [name, kind] : m_kinds) tellHeld(kind);
    m_kinds.clear();
}

void EventJournal::tellHeld(Kind& kind) {
    if (kind.held == 0) return;
    write(kind.heldSeverity, std::to_string(kind.held) + " more like this in the last minute, the last: " + kind.lastHeld);
    kind.held = 0;
    kind.lastHeld.clear();
}

void EventJournal::write(Severity severity, const std::string& text) {
    std::string line = "<" + std::to_string(int(severity)) + ">" + m_program + ": " + text;
    // A journal line ends at a line end, and whatever follows would lose its severity.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    m_sink(line);
}

} // namespace cv
