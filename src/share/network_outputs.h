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
    // Where the tap sends the lines of `config`'s section.
    virtual OutputSink* sinkFor(const OutputConfig&) { return this; }
    // The one-second tick, for outputs that keep time (a broker's keep-alive and reconnection).
    virtual void secondTick() {}
    // Who hears of a failure after the start (a host name not found, a broker lost).
    void setFailureHandler(std::function<void(const std::string&)> handler) { m_onFailure = std::move(handler); }

protected:
    void failedLater(const std::string& reason) {
        if (m_onFailure) m_onFailure(reason);
    }

private:
    std::function<void(const std::string&)> m_onFailure;
};

class OutputSocketFactory {
public:
    virtual ~OutputSocketFactory() = default;
    virtual std::unique_ptr<OutputSocket> make(const OutputConfig& config) = 0;
};

// What changed on an output since the last step: clients that came and went, and sends that
// failed.
struct OutputChange {
    int connected = 0;
    int dropped = 0;  // given up for falling behind
    int left = 0;     // went by themselves
    int clients = 0;  // connected now
    // The socket's new last error; for datagrams lost without one, "datagrams could not be
    // sent"; empty when every send went.
    std::string trouble;
    bool any() const { return connected > 0 || dropped > 0 || left > 0 || !trouble.empty(); }
};

class NetworkOutputs {
public:
    NetworkOutputs(OutputSocketFactory& sockets, HostClock& clock);
    // Who hears that an output failed after it started (output index, reason).
    void setFailureHandler(std::function<void(int, const std::string&)> handler) { m_onFailure = std::move(handler); }

    // Output `index` (0-based) runs with `config` from the next record on; false, with the
    // reason in fault(index), when the config is unusable or the socket cannot open. Outputs to
    // one broker under one topic prefix share its connection: one session, one status and one
    // last will, however many sections it carries.
    bool start(int index, const OutputConfig& config);
    void stop(int index);
    // The config output `index` was started with.
    const OutputConfig& config(int index) const { return m_configs.at(size_t(index)); }
    // Once a second: the outputs' own steps.
    void secondTick();
    bool running(int index) const { return socket(index) != nullptr; }
    // Why an output that was asked to run does not; empty while it runs or was never asked.
    const std::string& fault(int index) const { return m_fault.at(size_t(index)); }
    OutputSocket* socket(int index) const;
    // The row's figures (lines counted by the tap; a broker's connection counts the messages it
    // published, for every section it carries), `on` as the row says.
    OutputFigures figures(int index, bool on) const;
    // Once a second: what came and went on each output since the last call; a shared connection
    // tells it on the first output that uses it.
    std::array<OutputChange, kMaxOutputs> changes();

    StreamConsumer& tap() { return m_tap; }
    uint64_t lines(int index) const { return m_tap.lines(index); }
    uint64_t heldBack(int index) const { return m_tap.heldBack(index); }

private:
    // The output that uses `socket` first; -1 when none does.
    int firstUserOf(const OutputSocket* socket) const;

    OutputSocketFactory& m_sockets;
    NetworkTap m_tap;
    std::array<std::shared_ptr<OutputSocket>, kMaxOutputs> m_outputs;
    std::array<std::string, kMaxOutputs> m_fault;
    std::array<OutputConfig, kMaxOutputs> m_configs{};
    std::function<void(int, const std::string&)> m_onFailure;
    std::array<OutputFigures, kMaxOutputs> m_seen{};
};

} // namespace cv::share
