#include "share/network_feed.h"

#include "ports/host_clock.h"
#include "protocol/mux_record.h"

namespace cv::share {

void NetworkTap::start(int index, const OutputConfig& config, OutputSink* sink) {
    if (index < 0 || index >= kMaxRoutes) return;
    if (size_t(index) >= m_routes.size()) m_routes.resize(size_t(index) + 1);
    m_routes[size_t(index)] = Route{config, sink, DatagramCutter{}, LinePrefixer{}, LineGate{}, {}};
}

void NetworkTap::stop(int index) {
    if (index >= 0 && size_t(index) < m_routes.size()) m_routes[size_t(index)].sink = nullptr;
}

const NetworkTap::Route* NetworkTap::route(int index) const {
    return index >= 0 && size_t(index) < m_routes.size() ? &m_routes[size_t(index)] : nullptr;
}

uint64_t NetworkTap::lines(int index) const {
    const Route* r = route(index);
    if (!r) return 0;
    if (r->config.protocol == Protocol::Mqtt) return r->gate.passed();
    return r->config.protocol == Protocol::Udp ? r->cutter.lines() : r->prefixer.lines();
}

uint64_t NetworkTap::heldBack(int index) const {
    const Route* r = route(index);
    return r ? r->gate.heldBack() : 0;
}

void NetworkTap::takeRecord(const mux::RecordView& record) {
    std::string time;
    bool timeAsked = false;
    for (Route& r : m_routes) {
        if (!r.sink || r.config.logger != record.unit()) continue;
        const std::span<const uint8_t> bytes = record.section(r.config.section);
        if (bytes.empty()) continue;
        if (r.config.pcTime && !timeAsked) {
            time = utcTimePrefix(m_clock.utcMs());
            timeAsked = true;
        }
        const std::string_view prefix = r.config.pcTime ? std::string_view(time) : std::string_view();
        auto send = [&r](std::string_view piece) { r.sink->send(piece); };
        auto pass = [&r, &send](const uint8_t* data, size_t length, std::string_view linePrefix) {
            if (r.config.protocol == Protocol::Udp) r.cutter.feed(data, length, linePrefix, send);
            else r.prefixer.feed(data, length, linePrefix, send);
        };
        if (!r.gated()) {
            pass(bytes.data(), bytes.size(), prefix);
            continue;
        }
        r.gate.feed(bytes.data(), bytes.size(), prefix, r.config.validOnly, [&](std::string_view line) {
            if (r.config.protocol == Protocol::Mqtt) {
                r.sink->send(line);
                return;
            }
            r.line.assign(line);
            r.line += "\r\n";
            pass(reinterpret_cast<const uint8_t*>(r.line.data()), r.line.size(), {});
        });
    }
}

} // namespace cv::share
