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
    // Who hears that a network output failed (its text form, why); none: the fault is printed.
    using OutputFault = std::function<void(const std::string& output, const std::string& fault)>;
    void setOutputFault(OutputFault onFault) { m_outputFault = std::move(onFault); }
    uint32_t clockSets() const { return m_clockSets; }

private:
    void autoBaudSpeedChanged(int speedChoice) override;
    void identityVerdict(const status::IdentityFinding& found) override;
    void clockSetSent(const status::ClockSet& set) override;
    void minuteBegan() override;
    void outputFailed(int index, const std::string& fault) override;

    Host& m_host;
    RecordingOptions m_options;
    Print m_out;
    Print m_err;
    std::function<std::string()> m_tail;
    OutputFault m_outputFault;
    uint32_t m_clockSets = 0;
};

} // namespace cv
