#include "share/mqtt_session.h"

#include <algorithm>

#include "base/command_line.h"
#include "base/text_format.h"

namespace cv::share {

void addMqttOptions(cli::CommandLine& line, MqttSettings& s) {
    line.group("MQTT (a broker that passes the lines on to any number of subscribers)");
    line.option("--mqtt", "HOST[:PORT]",
                "Publish to the MQTT broker at HOST (a name, an IPv4 address or an IPv6 address in brackets), "
                "port 1883 unless given.",
                [&s](const std::string& v) -> std::string {
                    std::string fault;
                    const auto hostPort = splitHostPort(v, fault);
                    if (!hostPort) return fault;
                    OutputConfig probe;
                    probe.protocol = Protocol::Mqtt;
                    probe.host = hostPort->host;
                    if (fault = outputFault(probe); !fault.empty()) return fault;
                    s.host = hostPort->host;
                    s.port = hostPort->port.value_or(kMqttPort);
                    return {};
                });
    line.option("--mqtt-topic", "PREFIX", "Topics begin with PREFIX (default kr8): PREFIX/LOGGER/SECTION, PREFIX/status.",
                [&s](const std::string& v) -> std::string {
                    OutputConfig probe;
                    probe.protocol = Protocol::Mqtt;
                    probe.topic = v;
                    if (std::string fault = outputFault(probe); !fault.empty()) return fault;
                    s.topic = v;
                    return {};
                });
    line.option("--mqtt-section", "LOGGER:SECTION[,time][,valid]",
                "Publish each line of a logger's section (port 1..8, 9) as one message (repeatable).",
                [&s](const std::string& v) -> std::string {
                    std::string fault;
                    // The section's form is the UDP output's with the broker standing in for the address.
                    const size_t comma = std::min(v.find(','), v.size());
                    const auto config =
                        parseOutputConfig(v.substr(0, comma) + "=127.0.0.1:1" + v.substr(comma), Protocol::Mqtt, fault);
                    if (v.find('=') != std::string::npos) return "LOGGER:SECTION";
                    if (!config) return fault.find("'='") == std::string::npos ? fault : "a port from 1 to 9 after the ':'";
                    s.sections.push_back(*config);
                    return {};
                });
}

std::string mqttSettingsFault(const MqttSettings& s) {
    if (s.host.empty() && !s.sections.empty()) return "--mqtt-section needs --mqtt";
    if (s.host.empty() && s.topic != kMqttTopicPrefix) return "--mqtt-topic needs --mqtt";
    return {};
}

std::string mqttTopic(std::string_view prefix, int logger, int section) {
    return format("%.*s/%d/%d", int(prefix.size()), prefix.data(), logger, section);
}

std::string mqttStatusTopic(std::string_view prefix) { return std::string(prefix) + "/status"; }

std::string mqttOnline(std::string_view status) {
    return status.empty() ? std::string("online") : "online, " + std::string(status);
}

bool MessageQueue::push(std::string_view topic, std::string_view payload) {
    const size_t bytes = topic.size() + payload.size();
    if (m_messages.size() >= m_maxMessages || m_bytes + bytes > m_maxBytes) {
        ++m_notQueued;
        return false;
    }
    m_messages.push_back(MqttMessage{std::string(topic), std::string(payload)});
    m_bytes += bytes;
    return true;
}

void MessageQueue::pop() {
    m_bytes -= m_messages.front().topic.size() + m_messages.front().payload.size();
    m_messages.pop_front();
}

bool MqttSession::secondTick() {
    if (m_state == State::Connected && ++m_sinceStatus >= kMqttStatusSeconds) m_statusDue = true;
    if (m_state == State::Idle) return true;
    if (m_state == State::Connecting && ++m_connectingFor >= kMqttConnectSeconds) {
        disconnected("no answer from the broker");
        return false;
    }
    if (m_state != State::Waiting) return false;
    return --m_wait <= 0;
}

void MqttSession::connected() {
    m_state = State::Connected;
    m_backoff = 0;
    m_statusDue = true;
}

void MqttSession::disconnected(std::string reason) {
    m_state = State::Waiting;
    m_backoff = std::clamp(m_backoff * 2, 1, kMqttMaxBackoff);
    m_wait = m_backoff;
    m_statusDue = false;
    if (!reason.empty()) m_lastError = std::move(reason);
}

bool MqttSession::takeStatusDue() {
    if (!m_statusDue) return false;
    m_statusDue = false;
    m_sinceStatus = 0;
    return true;
}

std::string MqttSession::stateText() const {
    switch (m_state) {
    case State::Connected: return "connected";
    case State::Connecting: return "connecting";
    case State::Waiting: return format("not connected, next try in %d s", m_wait);
    case State::Idle: break;
    }
    return "not connected";
}

} // namespace cv::share
