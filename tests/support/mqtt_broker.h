#pragma once
// A real MQTT broker on a free loopback port for one test, and a subscriber that collects what
// it is sent. The broker is the test's own process: stopped, started again on the same port,
// killed at the end.
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <string>
#include <vector>

struct mosquitto;

namespace cv::test {

class MqttBroker {
public:
    MqttBroker();
    ~MqttBroker() { stop(); }
    // Started and taking connections; false when it did not come up in time.
    bool start();
    void stop();
    int port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

struct MqttMessageSeen {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class MqttSubscriber {
public:
    explicit MqttSubscriber(int port, const std::string& filter = "#");
    ~MqttSubscriber();
    bool connected() const { return m_subscribed; }
    // Runs the client and the Qt event loop until `done` holds or the deadline passes.
    template <class Done>
    bool waitFor(Done&& done, std::chrono::milliseconds deadline = std::chrono::seconds(15)) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            step();
        }
        return true;
    }
    // The payloads that came on `topic`, in order.
    std::vector<std::string> payloads(const std::string& topic) const;
    std::vector<MqttMessageSeen> messages;

private:
    void step();
    mosquitto* m_mosq = nullptr;
    bool m_subscribed = false;
};

} // namespace cv::test
