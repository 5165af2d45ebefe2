#pragma once
// The network outputs of the live stream without their rows: the tap on the stream, the socket
// of each output that runs, why one that should run does not, and its figures. The window's
// Network group and cvrecord's --udp/--tcp both start and stop outputs here.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "share/network_feed.h"
#include "share/network_output.h"

namespace cv::share {

// An output's socket: takes what the tap sends, tells its figures. Opening it never waits.
class OutputSocket : public OutputSink {
public:
    // Opens the socket; false with the reason in startFault() when it cannot.
    virtual bool start() = 0;
    virtual std::string startFault() const = 0;
    // Lines are the tap's; the rest is the socket's.
    virtual OutputFigures figures() const = 0;
};

class OutputSocketFactory {
public:
    virtual ~OutputSocketFactory() = default;
    virtual std::unique_ptr<OutputSocket> make(const OutputConfig& config) = 0;
};

// What changed on an output since the last figures step: clients that came and went.
struct OutputChange {
    int connected = 0;
    int dropped = 0;  // given up for falling behind
};

class NetworkOutputs {
public:
    // `pcTime`: the prefix of a line that starts now.
    NetworkOutputs(OutputSocketFactory& sockets, std::function<std::string()> pcTime);

    // Output `index` (0-based) runs with `config` from the next record on; false, with the
    // reason in fault(index), when the config is unusable or the socket cannot open.
    bool start(int index, const OutputConfig& config);
    void stop(int index);
    bool running(int index) const { return socket(index) != nullptr; }
    // Why an output that was asked to run does not; empty while it runs or was never asked.
    const std::string& fault(int index) const { return m_fault.at(size_t(index)); }
    OutputSocket* socket(int index) const;
    // The row's figures (lines counted by the tap), `on` as the row says.
    OutputFigures figures(int index, bool on) const;
    // Once a second: what came and went on each output since the last call.
    std::array<OutputChange, kMaxOutputs> changes();

    StreamConsumer& tap() { return m_tap; }
    uint64_t lines(int index) const { return m_tap.lines(index); }

private:
    OutputSocketFactory& m_sockets;
    NetworkTap m_tap;
    std::array<std::unique_ptr<OutputSocket>, kMaxOutputs> m_outputs;
    std::array<std::string, kMaxOutputs> m_fault;
    std::array<OutputFigures, kMaxOutputs> m_seen{};
};

} // namespace cv::share
