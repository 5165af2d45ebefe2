#include "share/network_output.h"

#include <charconv>

#include "base/text_format.h"

namespace cv::share {

namespace {

std::optional<int> whole(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || at != end || value < low || value > high) return std::nullopt;
    return value;
}

constexpr const char* kLoggerFault = "a logger ID from 1 to 4 before the ':'";
constexpr const char* kSectionFault = "a port from 1 to 9 between the ':' and the '='";
constexpr const char* kPortFault = "a network port from 1 to 65535";
constexpr const char* kHostFault = "an IPv4 address such as 192.168.1.255";

} // namespace

std::string OutputConfig::text() const {
    if (protocol == Protocol::Tcp) return format("%d:%d=%d", logger, section, port);
    return format("%d:%d=%s:%d", logger, section, host.c_str(), port);
}

std::optional<std::array<uint8_t, 4>> parseIPv4(std::string_view text) {
    std::array<uint8_t, 4> bytes{};
    for (size_t k = 0; k < 4; ++k) {
        const size_t dot = k < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos || dot > 3) return std::nullopt;
        const auto part = whole(text.substr(0, dot), 0, 255);
        if (!part) return std::nullopt;
        bytes[k] = uint8_t(*part);
        text.remove_prefix(k < 3 ? dot + 1 : dot);
    }
    return bytes;
}

bool isMulticast(std::string_view host) {
    const auto bytes = parseIPv4(host);
    return bytes && (*bytes)[0] >= 224 && (*bytes)[0] <= 239;
}

std::string outputFault(const OutputConfig& config) {
    if (config.logger < 1 || config.logger > kLoggerIds) return kLoggerFault;
    if (config.section < 1 || config.section > kSections) return kSectionFault;
    if (config.port < 1 || config.port > 65535) return kPortFault;
    if (config.protocol == Protocol::Udp && !parseIPv4(config.host)) return kHostFault;
    return {};
}

std::optional<OutputConfig> parseOutputConfig(std::string_view text, std::string& fault) {
    const size_t colon = text.find(':');
    const size_t equals = text.find('=');
    if (colon == std::string_view::npos || equals == std::string_view::npos || equals < colon) {
        fault = "LOGGER:PORT=HOST:NETPORT (UDP) or LOGGER:PORT=NETPORT (TCP)";
        return std::nullopt;
    }
    OutputConfig config;
    const auto logger = whole(text.substr(0, colon), 1, kLoggerIds);
    if (!logger) {
        fault = kLoggerFault;
        return std::nullopt;
    }
    const auto section = whole(text.substr(colon + 1, equals - colon - 1), 1, kSections);
    if (!section) {
        fault = kSectionFault;
        return std::nullopt;
    }
    config.logger = *logger;
    config.section = *section;
    const std::string_view target = text.substr(equals + 1);
    const size_t portColon = target.rfind(':');
    config.protocol = portColon == std::string_view::npos ? Protocol::Tcp : Protocol::Udp;
    const std::string_view portText = portColon == std::string_view::npos ? target : target.substr(portColon + 1);
    const auto port = whole(portText, 1, 65535);
    if (!port) {
        fault = kPortFault;
        return std::nullopt;
    }
    config.port = *port;
    if (config.protocol == Protocol::Udp) config.host = std::string(target.substr(0, portColon));
    else config.host.clear();
    fault = outputFault(config);
    if (!fault.empty()) return std::nullopt;
    return config;
}

std::string pcTimePrefix(const std::tm& t, int milliseconds) {
    return format("%04d-%02d-%02dT%02d:%02d:%02d.%03d ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                  t.tm_sec, milliseconds);
}

std::string figuresText(const OutputFigures& f, Protocol protocol) {
    if (!f.on) return "Off";
    if (!f.fault.empty()) return "Not running: " + f.fault;
    std::string text = format("%llu lines", static_cast<unsigned long long>(f.lines));
    if (protocol == Protocol::Tcp) {
        text += format(f.clients == 1 ? ", %d client" : ", %d clients", f.clients);
        if (f.droppedClients > 0)
            text += format(", %llu dropped", static_cast<unsigned long long>(f.droppedClients));
    }
    text += format(", %llu bytes dropped", static_cast<unsigned long long>(f.bytesDropped));
    if (!f.lastError.empty()) text += ", last error: " + f.lastError;
    return text;
}

} // namespace cv::share
