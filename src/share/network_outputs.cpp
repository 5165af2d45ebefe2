#include "share/network_outputs.h"

#include <algorithm>

namespace cv::share {

NetworkOutputs::NetworkOutputs(OutputSocketFactory& sockets, HostClock& clock) : m_sockets(sockets), m_tap(clock) {}

bool NetworkOutputs::start(int index, const OutputConfig& config) {
    if (index < 0 || index >= kMaxOutputs) return false;
    stop(index);
    const size_t i = size_t(index);
    if (const std::string fault = outputFault(config); !fault.empty()) {
        m_fault[i] = "needs " + fault;
        return false;
    }
    std::unique_ptr<OutputSocket> out = m_sockets.make(config);
    if (!out) {
        m_fault[i] = "no socket for " + config.text();
        return false;
    }
    if (!out->start()) {
        m_fault[i] = out->startFault();
        return false;
    }
    out->setFailureHandler([this, index](const std::string& reason) {
        if (m_onFailure) m_onFailure(index, reason);
    });
    m_outputs[i] = std::move(out);
    m_configs[i] = config;
    m_seen[i] = m_outputs[i]->figures();
    m_tap.start(index, config, m_outputs[i]->sinkFor(config));
    return true;
}

void NetworkOutputs::route(int index, const OutputConfig& config, OutputSink* sink) {
    if (index < 0 || index >= kMaxOutputs) return;
    stop(index);
    m_configs[size_t(index)] = config;
    m_tap.start(index, config, sink);
}

void NetworkOutputs::secondTick() {
    for (const auto& out : m_outputs)
        if (out) out->secondTick();
}

void NetworkOutputs::stop(int index) {
    if (index < 0 || index >= kMaxOutputs) return;
    m_tap.stop(index);
    m_outputs[size_t(index)].reset();
    m_fault[size_t(index)].clear();
    m_seen[size_t(index)] = {};
}

OutputSocket* NetworkOutputs::socket(int index) const {
    return index >= 0 && index < kMaxOutputs ? m_outputs[size_t(index)].get() : nullptr;
}

OutputFigures NetworkOutputs::figures(int index, bool on) const {
    OutputFigures f;
    if (OutputSocket* s = socket(index)) {
        f = s->figures();
        const OutputConfig& config = m_configs[size_t(index)];
        // A broker's output counts the messages it published itself.
        if (config.protocol != Protocol::Mqtt) f.lines = m_tap.lines(index);
        f.validOnly = config.validOnly;
        f.linesHeldBack = m_tap.heldBack(index);
    }
    f.on = on;
    f.fault = index >= 0 && index < kMaxOutputs ? m_fault[size_t(index)] : std::string();
    return f;
}

std::array<OutputChange, kMaxOutputs> NetworkOutputs::changes() {
    std::array<OutputChange, kMaxOutputs> changed{};
    for (size_t i = 0; i < size_t(kMaxOutputs); ++i) {
        if (!m_outputs[i]) continue;
        const OutputFigures now = m_outputs[i]->figures();
        const OutputFigures& was = m_seen[i];
        OutputChange& c = changed[i];
        c.dropped = int(now.droppedClients - was.droppedClients);
        // Clients now = clients before + connected - dropped - those that left on their own.
        const int rest = now.clients - was.clients + c.dropped;
        c.connected = std::max(0, rest);
        c.left = std::max(0, -rest);
        c.clients = now.clients;
        if (!now.lastError.empty() && now.lastError != was.lastError)
            c.trouble = now.lastError;
        else if (m_configs[i].protocol == Protocol::Udp && now.bytesDropped > was.bytesDropped)
            c.trouble = "datagrams could not be sent";
        m_seen[i] = now;
    }
    return changed;
}

} // namespace cv::share
