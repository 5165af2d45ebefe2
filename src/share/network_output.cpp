#include "share/network_output.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
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
constexpr const char* kIPv4Fault = "an IPv4 address such as 192.168.1.255";
constexpr const char* kHostFault = "a host name, an IPv4 address or an IPv6 address in brackets such as [ff02::1]";
constexpr const char* kBracketFault = "an IPv6 address in brackets, such as [::1]:5001";
constexpr const char* kListenFault = "an address of this PC to listen on: IPv4, or IPv6 in brackets";
constexpr const char* kTopicFault = "a topic prefix without '+', '#' or a leading '$'";
constexpr const char* kOptionFault = "'time' or 'valid' after a comma";

bool dotsAndDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || std::isdigit(uint8_t(c)); });
}

// A DNS name as RFC 1123 has it; the last label is not all digits, so "1.2.3" is a bad address,
// not a name.
bool isHostName(std::string_view name) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    if (name.empty() || name.size() > 253) return false;
    std::string_view last;
    while (!name.empty()) {
        const size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        for (char c : label)
            if (!std::isalnum(uint8_t(c)) && c != '-') return false;
        last = label;
        name.remove_prefix(dot == std::string_view::npos ? name.size() : dot + 1);
    }
    return !dotsAndDigits(last);
}

} // namespace

std::string hostText(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::string OutputConfig::text() const {
    std::string out = format("%d:%d=", logger, section);
    if (protocol == Protocol::Tcp && host.empty()) out += std::to_string(port);
    else out += hostText(host) + ":" + std::to_string(port);
    if (pcTime) out += ",time";
    if (validOnly) out += ",valid";
    return out;
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

std::optional<HostKind> hostKind(std::string_view host) {
    if (parseIPv4(host)) return HostKind::IPv4;
    if (host.find(':') != std::string_view::npos) {
        const std::string address(host.substr(0, host.find('%')));
        in6_addr bytes{};
        if (::inet_pton(AF_INET6, address.c_str(), &bytes) == 1) return HostKind::IPv6;
        return std::nullopt;
    }
    if (isHostName(host)) return HostKind::Name;
    return std::nullopt;
}

bool isMulticast(std::string_view host) {
    const auto bytes = parseIPv4(host);
    return bytes && (*bytes)[0] >= 224 && (*bytes)[0] <= 239;
}

std::optional<HostPort> splitHostPort(std::string_view text, std::string& fault) {
    HostPort out;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || hostKind(text.substr(1, close - 1)) != HostKind::IPv6) {
            fault = kBracketFault;
            return std::nullopt;
        }
        out.host = std::string(text.substr(1, close - 1));
        rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            fault = kBracketFault;
            return std::nullopt;
        }
    } else {
        const size_t colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
            fault = kBracketFault;
            return std::nullopt;
        }
        out.host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos) rest = text.substr(colon);
    }
    if (!rest.empty()) {
        out.port = whole(rest.substr(1), 1, 65535);
        if (!out.port) {
            fault = kPortFault;
            return std::nullopt;
        }
    }
    return out;
}

std::string outputFault(const OutputConfig& config) {
    if (config.logger < 1 || config.logger > kLoggerIds) return kLoggerFault;
    if (config.section < 1 || config.section > kSections) return kSectionFault;
    if (config.port < 1 || config.port > 65535) return kPortFault;
    const std::optional<HostKind> kind = hostKind(config.host);
    switch (config.protocol) {
    case Protocol::Tcp:
        if (!config.host.empty() && (!kind || kind == HostKind::Name)) return kListenFault;
        break;
    case Protocol::Udp:
    case Protocol::Mqtt:
        if (!kind) return dotsAndDigits(config.host) && !config.host.empty() ? kIPv4Fault : kHostFault;
        break;
    }
    if (config.protocol == Protocol::Mqtt &&
        (config.topic.empty() || config.topic.front() == '$' || config.topic.find_first_of("+#") != std::string::npos))
        return kTopicFault;
    return {};
}

std::optional<OutputConfig> parseOutputConfig(std::string_view text, Protocol protocol, std::string& fault) {
    OutputConfig config;
    config.protocol = protocol;
    const size_t comma = std::min(text.find(','), text.size());
    for (std::string_view options = text.substr(comma); !options.empty();) {
        options.remove_prefix(1);
        const std::string_view option = options.substr(0, options.find(','));
        if (option == "time") config.pcTime = true;
        else if (option == "valid") config.validOnly = true;
        else {
            fault = kOptionFault;
            return std::nullopt;
        }
        options.remove_prefix(option.size());
    }
    text = text.substr(0, comma);
    const size_t colon = text.find(':');
    const size_t equals = text.find('=');
    if (colon == std::string_view::npos || equals == std::string_view::npos || equals < colon) {
        fault = protocol == Protocol::Tcp ? "LOGGER:SECTION=[ADDR:]PORT" : "LOGGER:SECTION=HOST:PORT";
        return std::nullopt;
    }
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
    if (protocol == Protocol::Tcp && target.find_first_of(":[") == std::string_view::npos) {
        config.host.clear();
        const auto port = whole(target, 1, 65535);
        if (!port) {
            fault = kPortFault;
            return std::nullopt;
        }
        config.port = *port;
    } else {
        const auto hostPort = splitHostPort(target, fault);
        if (!hostPort) return std::nullopt;
        if (!hostPort->port) {
            fault = protocol == Protocol::Tcp ? "LOGGER:SECTION=[ADDR:]PORT" : "LOGGER:SECTION=HOST:PORT";
            return std::nullopt;
        }
        config.host = hostPort->host;
        config.port = *hostPort->port;
    }
    fault = outputFault(config);
    if (!fault.empty()) return std::nullopt;
    return config;
}

std::string utcTimePrefix(int64_t utcMs) {
    const int64_t ms = ((utcMs % 1000) + 1000) % 1000;
    const int64_t seconds = (utcMs - ms) / 1000;
    const int64_t secondOfDay = ((seconds % 86400) + 86400) % 86400;
    // Days since 1970-01-01 to the civil date (the proleptic Gregorian calendar, in eras of 400 years).
    const int64_t z = (seconds - secondOfDay) / 86400 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return format("%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ ", (long long)year, (long long)month,
                  (long long)day, (long long)(secondOfDay / 3600), (long long)(secondOfDay / 60 % 60),
                  (long long)(secondOfDay % 60), (long long)ms);
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
    if (protocol == Protocol::Mqtt) {
        text += ", " + f.state;
        text += format(", %llu not queued", static_cast<unsigned long long>(f.notQueued));
    } else {
        text += format(", %llu bytes dropped", static_cast<unsigned long long>(f.bytesDropped));
    }
    if (f.validOnly) text += format(", %llu held back", static_cast<unsigned long long>(f.linesHeldBack));
    if (!f.lastError.empty()) text += ", last error: " + f.lastError;
    return text;
}

} // namespace cv::share
