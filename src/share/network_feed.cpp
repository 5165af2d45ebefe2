#include "share/network_feed.h"

#include "protocol/mux_record.h"

namespace cv::share {

void NetworkTap::start(int index, const OutputConfig& config, OutputSink* sink) {
    if (index < 0 || index >= kMaxOutputs) return;
    m_routes[size_t(index)] = Route{config, sink, DatagramCutter{}, LinePrefixer{}};
}

void NetworkTap::stop(int index) {
    if (index >= 0 && index < kMaxOutputs) m_routes[size_t(index)].sink = nullptr;
}

uint64_t NetworkTap::lines(int index) const {
    if (index < 0 || index >= kMaxOutputs) return 0;
    const Route& r = m_routes[size_t(index)];
    return r.config.protocol == Protocol::Udp ? r.cutter.lines() : r.prefixer.lines();
}

void NetworkTap::takeRecord(const mux::RecordView& record) {
    std::string time;
    bool timeAsked = false;
    for (Route& r : m_routes) {
        if (!r.sink || r.config.logger != record.unit()) continue;
        const std::span<const uint8_t> bytes = record.section(r.config.section);
        if (bytes.empty()) continue;
        if (r.config.pcTime && !timeAsked) {
            time = m_pcTime ? m_pcTime() : std::string();
            timeAsked = true;
        }
        const std::string_view prefix = r.config.pcTime ? std::string_view(time) : std::string_view();
        auto send = [&r](std::string_view piece) { r.sink->send(piece); };
        if (r.config.protocol == Protocol::Udp) r.cutter.feed(bytes.data(), bytes.size(), prefix, send);
        else r.prefixer.feed(bytes.data(), bytes.size(), prefix, send);
    }
}

} // namespace cv::share
