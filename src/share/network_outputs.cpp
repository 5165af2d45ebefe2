#include "share/network_outputs.h"

#include <algorithm>

namespace cv::share {

NetworkOutputs::NetworkOutputs(OutputSocketFactory& sockets, HostClock& clock) : m_sockets(sockets), m_tap(clock) {}

namespace {
bool sameConnection(const OutputConfig& a, const OutputConfig& b) {
    return a.protocol == Protocol::Mqtt && b.protocol == Protocol::Mqtt && a.host == b.host && a.port == b.port &&
           a.topic == b.topic;
}
} // namespace

bool NetworkOutputs::start(int index, const OutputConfig& config) {
    if (index < 0 || index >= kMaxOutputs) return false;
    stop(index);
    const size_t i = size_t(index);
    if (const std::string fault = outputFault(config); !fault.empty()) {
        m_fault[i] = "needs " + fault;
        return false;
    }
    std::shared_ptr<OutputSocket> out;
    for (size_t k = 0; k < m_outputs.size() && !out; ++k)
        if (m_outputs[k] && sameConnection(m_configs[k], config)) out = m_outputs[k];
    if (!out) {
        out = m_sockets.make(config);
        if (!out) {
            m_fault[i] = "no socket for " + config.text();
            return false;
        }
        if (!out->start()) {
            m_fault[i] = out->startFault();
            return false;
        }
        out->setFailureHandler([this, socket = out.get()](const std::string& reason) {
            const int user = firstUserOf(socket);
            if (m_onFailure && user >= 0) m_onFailure(user, reason);
        });
    }
    m_outputs[i] = std::move(out);
    m_configs[i] = config;
    m_seen[i] = m_outputs[i]->figures();
    m_tap.start(index, config, m_outputs[i]->sinkFor(config));
    return true;
}

int NetworkOutputs::firstUserOf(const OutputSocket* socket) const {
    for (size_t k = 0; k < m_outputs.size(); ++k)
        if (m_outputs[k].get() == socket) return int(k);
    return -1;
}

void NetworkOutputs::secondTick() {
    for (size_t k = 0; k < m_outputs.size(); ++k)
        if (m_outputs[k] && firstUserOf(m_outputs[k].get()) == int(k)) m_outputs[k]->secondTick();
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
        if (!m_outputs[i] || firstUserOf(m_outputs[i].get()) != int(i)) continue;
        const OutputFigures now = m_outputs[i]->figures();
        const OutputFigures& was = m_seen[i];
        OutputChange& c = changed[i];
        c.dropped = int(now.droppedClients - was.droppedClients);
        // Clients now = clients before + connected - dropped - those that left on their own.
        const int rest = now.clients - was.clients + c.dropped;
        c.connected = std::max(0, rest);
        c.left = std::max(0, -rest);
        c.clients = now.clients;
        // A broker's connection tells its own failures, once a spell, through the failure hook.
        const Protocol protocol = m_configs[i].protocol;
        if (protocol != Protocol::Mqtt && !now.lastError.empty() && now.lastError != was.lastError)
            c.trouble = now.lastError;
        else if (protocol == Protocol::Udp && now.bytesDropped > was.bytesDropped)
            c.trouble = "datagrams could not be sent";
        m_seen[i] = now;
    }
    return changed;
}

} // namespace cv::share
