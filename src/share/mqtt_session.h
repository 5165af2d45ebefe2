#pragma once
// Publishing the live stream to an MQTT broker, without the broker: the options that ask for
// it, the topics, the bounded queue of lines waiting for the broker, the back-off between
// connection attempts and the once-a-minute status, all stepped by the one-second tick. The
// libmosquitto side (mqtt_output_qt) only moves messages from this queue to the socket.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "share/network_output.h"

namespace cv::cli {
class CommandLine;
}

namespace cv::share {

// A few minutes of a busy NMEA port while the broker is away; what comes after that is counted.
constexpr size_t kMqttQueueMessages = 4096;
constexpr size_t kMqttQueueBytes = 1024 * 1024;
// Seconds between the attempts to reach a broker that is away: doubled from 1 up to this.
constexpr int kMqttMaxBackoff = 60;
constexpr int kMqttStatusSeconds = 60;
// A connection not accepted by then is given up and tried again: packets dropped on the way or
// a broker that never answers would otherwise leave it waiting for minutes.
constexpr int kMqttConnectSeconds = 15;
constexpr const char* kMqttOffline = "offline";

// What cvrecord's --mqtt options asked for.
struct MqttSettings {
    std::string host;  // empty: no MQTT
    int port = kMqttPort;
    std::string topic = kMqttTopicPrefix;
    std::vector<OutputConfig> sections;  // logger and section of each, the broker's fields filled in
};
// Adds --mqtt, --mqtt-topic and --mqtt-section, under their own group, to a command line.
void addMqttOptions(cli::CommandLine& line, MqttSettings& settings);
// After parsing: what is wrong with the options taken together; empty when they are usable.
std::string mqttSettingsFault(const MqttSettings& settings);

// "kr8/2/3"
std::string mqttTopic(std::string_view prefix, int logger, int section);
std::string mqttStatusTopic(std::string_view prefix);
// What the status topic says while the program runs: "online", then its status line if any.
std::string mqttOnline(std::string_view status);

struct MqttMessage {
    std::string topic;
    std::string payload;
};

// The lines waiting for the broker, in order, bounded by their number and their bytes. A line
// that does not fit is not queued and counted, so a broker that is away costs bounded memory
// and the stream goes on.
class MessageQueue {
public:
    explicit MessageQueue(size_t maxMessages = kMqttQueueMessages, size_t maxBytes = kMqttQueueBytes)
        : m_maxMessages(maxMessages), m_maxBytes(maxBytes) {}
    bool push(std::string_view topic, std::string_view payload);
    bool empty() const { return m_messages.empty(); }
    size_t size() const { return m_messages.size(); }
    const MqttMessage& front() const { return m_messages.front(); }
    void pop();
    uint64_t notQueued() const { return m_notQueued; }

private:
    size_t m_maxMessages;
    size_t m_maxBytes;
    size_t m_bytes = 0;
    std::deque<MqttMessage> m_messages;
    uint64_t m_notQueued = 0;
};

// The connection's state, stepped by the one-second tick: when to try again after a failure
// (1, 2, 4 ... up to a minute apart, back to 1 once connected) and when the status is due (at
// once on connecting, then each minute).
class MqttSession {
public:
    enum class State { Idle, Connecting, Connected, Waiting };

    // The tick. True when a connection attempt is due now; the caller then calls connecting().
    // An attempt that took too long becomes a failure.
    bool secondTick();
    void connecting() {
        m_state = State::Connecting;
        m_connectingFor = 0;
    }
    void connected();
    // An attempt failed or the connection was lost: wait, then try again.
    void disconnected(std::string reason);
    // True once after connecting and then once a minute while connected.
    bool takeStatusDue();

    State state() const { return m_state; }
    // The wait after the last failure, in seconds.
    int backoff() const { return m_backoff; }
    const std::string& lastError() const { return m_lastError; }
    std::string stateText() const;

private:
    State m_state = State::Idle;
    int m_backoff = 0;
    int m_wait = 0;
    int m_sinceStatus = 0;
    int m_connectingFor = 0;
    bool m_statusDue = false;
    std::string m_lastError;
};

} // namespace cv::share
