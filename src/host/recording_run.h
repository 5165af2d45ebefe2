#pragma once
// A recording without a window, as cvrecord runs it: the operator's options applied to a Host,
// the Host's ticks in the window's order, and what the Host tells turned into output lines.
#include <functional>
#include <string>
#include <vector>

#include "host/host.h"

namespace cv {

struct RecordingOptions {
    int loggerPort = 0;
    int speedChoice = 6;  // 9600
    bool autoBaud = false;
    RecordingMode mode = recording::kOff;
    std::string name;  // the continuous file, or the hourly and daily files' base name
    std::vector<share::OutputConfig> outputs;
    bool timeSync = false;
};

// What a run tells as it happens, each output named by its text form ("2:1=5001"). Every
// function has an empty default; cvrecord writes each to its journal.
class RunEvents {
public:
    virtual ~RunEvents() = default;
    // The logger port's device went away (true) or came back (false).
    virtual void portLostChanged(bool /*lost*/) {}
    // The storage answered a file, which is now recorded into.
    virtual void fileOpened(const std::string& /*file*/) {}
    // Records began failing to reach `file` (true), or reach it again (false); `failedWrites`
    // counts this recording's lost records so far.
    virtual void writesFailingChanged(bool /*failing*/, const std::string& /*file*/, uint32_t /*failedWrites*/) {}
    virtual void outputChanged(const std::string& /*output*/, const share::OutputChange&) {}
    virtual void outputFailed(const std::string& /*output*/, const std::string& /*fault*/) {}
};

class RecordingRun : private HostEvents {
public:
    using Print = std::function<void(const std::string&)>;
    // `out` takes the status lines, `err` the faults; each is one line without its line end.
    RecordingRun(Host& host, RecordingOptions options, Print out, Print err);
    ~RecordingRun() override;

    enum class Start { Started, PortFailed, RecordingFailed, OutputFailed };
    // Opens the logger port, starts the recording, then the network outputs, stopping at the
    // first that fails.
    Start start();
    // The 5 ms tick.
    void fastTick();
    // The one-second tick: the status the logger sent, then the Host's second. The status line
    // is printed when a new clock minute begins.
    void secondTick();
    // The file closed (on the disk) and the ports closed.
    void stop();

    // "records 120, gaps 0, file run.arc, bytes 5460" and what else there is to say.
    std::string statusLine();
    // What the driver adds to each status line (the port's state, the network figures); none:
    // the line says ", port lost" while the port is lost.
    void setStatusTail(std::function<std::string()> tail) { m_tail = std::move(tail); }
    // Who hears what happens; none: only an output's failure is told, on `err`.
    void setEvents(RunEvents* events) { m_events = events; }
    uint32_t clockSets() const { return m_clockSets; }

private:
    void autoBaudSpeedChanged(int speedChoice) override;
    void identityVerdict(const status::IdentityFinding& found) override;
    void clockSetSent(const status::ClockSet& set) override;
    void minuteBegan() override;
    void outputFailed(int index, const std::string& fault) override;
    void portLostChanged(bool lost) override;
    void recorderFileOpened(const std::string& file) override;
    void recorderFailingChanged(bool failing) override;
    void networkOutputChanged(int index, const share::OutputChange& change) override;
    std::string outputName(int index) const;

    Host& m_host;
    RecordingOptions m_options;
    Print m_out;
    Print m_err;
    std::function<std::string()> m_tail;
    RunEvents* m_events = nullptr;
    uint32_t m_clockSets = 0;
};

} // namespace cv
