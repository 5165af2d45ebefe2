#include "adapters/mqtt_output_qt.h"

#include <mosquitto.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

namespace cv::share {

namespace {
// Seconds without traffic before the library pings the broker, and so about how long a broker
// that vanished without closing the connection goes unnoticed.
constexpr int kKeepAlive = 30;

std::string mosquittoError(int rc) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
    return mosquitto_strerror(rc);
}

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        mosquitto_lib_init();
        // A broker that closes the connection must end in an error from write(), not in a signal
        // that ends the recorder.
        struct sigaction ignore {};
        if (sigaction(SIGPIPE, nullptr, &ignore) == 0 && ignore.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);
    });
}
} // namespace

struct MqttOutput::Section : OutputSink {
    Section(MqttOutput& out, std::string t) : owner(out), topic(std::move(t)) {}
    void send(std::string_view line) override { owner.queueLine(topic, line); }
    MqttOutput& owner;
    std::string topic;
};

MqttOutput::MqttOutput(std::string host, int port, std::string topicPrefix, std::function<std::string()> status,
                       size_t queueMessages, QObject* parent)
    : NetworkOutput(parent),
      m_host(std::move(host)),
      m_port(port),
      m_prefix(std::move(topicPrefix)),
      m_status(std::move(status)),
      m_queue(queueMessages) {}

MqttOutput::~MqttOutput() {
    if (!m_mosq) return;
    // A stop asked for is no failure to tell.
    mosquitto_disconnect_callback_set(m_mosq, nullptr);
    // A deliberate stop says "offline" itself: the broker sends the last will only for a
    // connection that broke. Both go out now or not at all; nothing waits for them.
    if (connected()) {
        const std::string offline = kMqttOffline;
        mosquitto_publish(m_mosq, nullptr, mqttStatusTopic(m_prefix).c_str(), int(offline.size()), offline.data(), 0,
                          true);
        mosquitto_disconnect(m_mosq);
    }
    delete m_readable;
    delete m_writable;
    mosquitto_destroy(m_mosq);
}

bool MqttOutput::start() {
    initLibrary();
    m_mosq = mosquitto_new(nullptr, true, this);
    if (!m_mosq) {
        m_fault = QString::fromStdString(mosquittoError(MOSQ_ERR_ERRNO));
        return false;
    }
    const std::string statusTopic = mqttStatusTopic(m_prefix);
    const std::string offline = kMqttOffline;
    mosquitto_will_set(m_mosq, statusTopic.c_str(), int(offline.size()), offline.data(), 0, true);
    mosquitto_connect_callback_set(m_mosq, &MqttOutput::connectCallback);
    mosquitto_disconnect_callback_set(m_mosq, &MqttOutput::disconnectCallback);
    connectNow();
    return true;
}

// One sink a topic: a section started again on a connection that stayed up takes the one it had.
OutputSink* MqttOutput::sinkFor(const OutputConfig& config) {
    const std::string topic = mqttTopic(m_prefix, config.logger, config.section);
    for (const auto& section : m_sections)
        if (section->topic == topic) return section.get();
    m_sections.push_back(std::make_unique<Section>(*this, topic));
    return m_sections.back().get();
}

void MqttOutput::connectNow() {
    m_session.connecting();
    if (hostKind(m_host) != HostKind::Name) {
        connectTo(m_host);
        return;
    }
    if (m_lookingUp) return;
    m_lookingUp = true;
    QHostInfo::lookupHost(QString::fromStdString(m_host), this, [this](const QHostInfo& info) {
        m_lookingUp = false;
        if (m_session.state() != MqttSession::State::Connecting) return;  // given up meanwhile
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            lost(m_host + ": " + info.errorString().toStdString());
            return;
        }
        connectTo(preferredAddress(info.addresses()).toString().toStdString());
    });
}

void MqttOutput::connectTo(const std::string& address) {
    const int rc = mosquitto_connect_async(m_mosq, address.c_str(), m_port, kKeepAlive);
    if (rc != MOSQ_ERR_SUCCESS) lost(mosquittoError(rc));
    watchSocket();
}

void MqttOutput::connectCallback(mosquitto*, void* self, int rc) { static_cast<MqttOutput*>(self)->onConnect(rc); }

void MqttOutput::disconnectCallback(mosquitto*, void* self, int rc) {
    static_cast<MqttOutput*>(self)->onDisconnect(rc);
}

void MqttOutput::onConnect(int rc) {
    if (rc != 0) {
        lost(mosquitto_connack_string(rc));
        mosquitto_disconnect(m_mosq);
        return;
    }
    m_session.connected();
    m_failing = false;
    if (m_session.takeStatusDue()) publishStatus();
}

void MqttOutput::onDisconnect(int rc) {
    if (m_session.state() == MqttSession::State::Waiting) return;
    lost(rc == 0 ? std::string("disconnected") : mosquittoError(rc));
}

// Said once a spell: the first failed attempt or a connection lost, not every attempt after it.
void MqttOutput::lost(const std::string& reason) {
    m_session.disconnected(reason);
    announce(reason);
}

void MqttOutput::announce(const std::string& reason) {
    if (m_failing) return;
    m_failing = true;
    failedLater(reason);
}

void MqttOutput::queueLine(const std::string& topic, std::string_view line) {
    m_queue.push(topic, line);
    drain();
}

// One message at a time goes to the library, and only when it has written everything before,
// so its own queue (which has no bound) never holds more than that.
void MqttOutput::drain() {
    while (connected() && !m_queue.empty() && !mosquitto_want_write(m_mosq)) {
        const MqttMessage& m = m_queue.front();
        const int rc = mosquitto_publish(m_mosq, nullptr, m.topic.c_str(), int(m.payload.size()), m.payload.data(), 0,
                                         false);
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST) break;  // kept for the next connection
        m_queue.pop();
        if (rc == MOSQ_ERR_SUCCESS) ++m_published;
        else m_lastError = QString::fromStdString(mosquittoError(rc));
    }
    watchSocket();
}

void MqttOutput::publishStatus() {
    const std::string payload = mqttOnline(m_status ? m_status() : std::string());
    const int rc = mosquitto_publish(m_mosq, nullptr, mqttStatusTopic(m_prefix).c_str(), int(payload.size()),
                                     payload.data(), 0, true);
    if (rc != MOSQ_ERR_SUCCESS) m_lastError = QString::fromStdString(mosquittoError(rc));
}

void MqttOutput::secondTick() {
    if (!m_mosq) return;
    if (connected()) mosquitto_loop_misc(m_mosq);
    const MqttSession::State before = m_session.state();
    if (m_session.secondTick()) connectNow();
    if (before == MqttSession::State::Connecting && m_session.state() == MqttSession::State::Waiting)
        announce(m_session.lastError());
    if (m_session.takeStatusDue()) publishStatus();
    drain();
}

// Follows the library's socket while connecting or connected: a new one after each connect,
// none after a close or a failure. A notifier of a closed socket is retired before its number
// can be reused.
void MqttOutput::watchSocket() {
    const bool active = m_session.state() == MqttSession::State::Connecting || connected();
    const int socket = m_mosq && active ? mosquitto_socket(m_mosq) : -1;
    if (socket != m_socket) {
        for (QSocketNotifier** n : {&m_readable, &m_writable}) {
            if (!*n) continue;
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
        m_socket = socket;
        if (socket >= 0) {
            m_readable = new QSocketNotifier(socket, QSocketNotifier::Read, this);
            m_writable = new QSocketNotifier(socket, QSocketNotifier::Write, this);
            connect(m_readable, &QSocketNotifier::activated, this, [this] {
                const int rc = mosquitto_loop_read(m_mosq, 1);
                if (rc != MOSQ_ERR_SUCCESS && m_session.state() != MqttSession::State::Waiting) lost(mosquittoError(rc));
                drain();
            });
            connect(m_writable, &QSocketNotifier::activated, this, [this] {
                const int rc = mosquitto_loop_write(m_mosq, 1);
                if (rc != MOSQ_ERR_SUCCESS && m_session.state() != MqttSession::State::Waiting) lost(mosquittoError(rc));
                drain();
            });
        }
    }
    if (m_writable) m_writable->setEnabled(mosquitto_want_write(m_mosq));
}

OutputFigures MqttOutput::figures() const {
    OutputFigures f = runningFigures();
    f.lines = m_published;
    f.state = m_session.stateText();
    f.notQueued = m_queue.notQueued();
    if (!m_session.lastError().empty()) f.lastError = m_session.lastError();
    return f;
}

} // namespace cv::share
