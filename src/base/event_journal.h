#pragma once
// Lines for a journal that reads a syslog severity at the start of each line ("<4>..."): one
// line per event as it happens. Each kind of event is capped, so that a fault repeating many
// times a second (a logger sending records of a unit nobody knows, a client reconnecting in a
// loop) cannot flood the journal or the disk under it; what the cap held back is told once,
// with the last of it, when its minute is over.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace cv {

enum class Severity { Error = 3, Warning = 4, Info = 6 };

class EventJournal {
public:
    static constexpr int kLinesPerMinute = 5;
    static constexpr uint32_t kMinuteMs = 60000;
    using Sink = std::function<void(const std::string& line)>;

    // Each line is "<severity>program: text", handed to `sink` without its line end.
    EventJournal(std::string program, Sink sink) : m_program(std::move(program)), m_sink(std::move(sink)) {}

    // `kind` groups the events the cap counts together; `nowMs` is a monotonic millisecond
    // count that may wrap.
    void report(const std::string& kind, Severity severity, const std::string& text, uint32_t nowMs);
    // Tells what the cap held back in minutes that are over; called once a second.
    void tick(uint32_t nowMs);
    // Tells everything still held back, as the program ends.
    void flush();

private:
    struct Kind {
        uint32_t since = 0;
        int told = 0;
        uint64_t held = 0;
        Severity heldSeverity = Severity::Info;
        std::string lastHeld;
    };
    void write(Severity severity, const std::string& text);
    void tellHeld(Kind& kind);

    std::string m_program;
    Sink m_sink;
    // One entry per kind of event, and the kinds are the program's own, so this stays small.
    std::map<std::string, Kind> m_kinds;
};

} // namespace cv
