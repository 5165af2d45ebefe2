#pragma once
// The MQTT output's libmosquitto side, driven from Qt's event loop: socket notifiers call the
// library's read and write steps, the one-second tick its keep-alive step, the back-off and the
// status. No call waits on the network: a host name is looked up with QHostInfo, the connection
// is made without blocking, and a message goes to the library only when it has nothing left to
// write, so what waits is in the bounded queue and what does not fit there is counted.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "share/mqtt_session.h"
#include "adapters/network_sockets_qt.h"

struct mosquitto;
class QSocketNotifier;

namespace cv::share {

class MqttOutput : public NetworkOutput {
    Q_OBJECT
public:
    // `status` gives the status line published (after "online, ") each minute; may be empty.
    MqttOutput(std::string host, int port, std::string topicPrefix, std::function<std::string()> status = {},
               size_t queueMessages = kMqttQueueMessages, QObject* parent = nullptr);
    ~MqttOutput() override;

    bool start() override;
    // A sink for the lines of one section: each call is one line, published to its topic.
    OutputSink* sinkFor(const OutputConfig& config) override;
    // Unused: lines come through the sections' sinks.
    void send(std::string_view) override {}
    OutputFigures figures() const override;
    // The one-second tick: keep-alive, the next attempt after a failure, the status each minute.
    void secondTick() override;

    bool connected() const { return m_session.state() == MqttSession::State::Connected; }

private:
    struct Section;
    void connectNow();
    void connectTo(const std::string& address);
    void onConnect(int rc);
    void onDisconnect(int rc);
    void lost(const std::string& reason);
    void announce(const std::string& reason);
    void queueLine(const std::string& topic, std::string_view line);
    void drain();
    void publishStatus();
    void watchSocket();
    static void connectCallback(mosquitto*, void* self, int rc);
    static void disconnectCallback(mosquitto*, void* self, int rc);

    std::string m_host;
    int m_port;
    std::string m_prefix;
    std::function<std::string()> m_status;
    mosquitto* m_mosq = nullptr;
    MqttSession m_session;
    MessageQueue m_queue;
    uint64_t m_published = 0;
    std::vector<std::unique_ptr<Section>> m_sections;
    int m_socket = -1;
    QSocketNotifier* m_readable = nullptr;  // children: a retired one may wait for deleteLater
    QSocketNotifier* m_writable = nullptr;
    bool m_lookingUp = false;
    bool m_failing = false;
};

} // namespace cv::share
