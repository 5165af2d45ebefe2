#include "mqtt_broker.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace cv::test {

MqttBroker::MqttBroker() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
    QFile config(m_dir.filePath("broker.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(QString("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n").arg(m_port).toUtf8());
}

bool MqttBroker::start() {
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start("/usr/sbin/mosquitto", {"-c", m_dir.filePath("broker.conf")});
    if (!m_process.waitForStarted()) return false;
    for (int attempt = 0; attempt < 500 && m_process.state() == QProcess::Running; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (socket.waitForConnected(20)) return true;
        QThread::msleep(20);
    }
    return false;
}

void MqttBroker::stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished();
}

MqttSubscriber::MqttSubscriber(int port, const std::string& filter) {
    mosquitto_lib_init();
    m_mosq = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
        static_cast<MqttSubscriber*>(self)->messages.push_back(
            {m->topic, std::string(static_cast<const char*>(m->payload), size_t(m->payloadlen)), m->retain});
    });
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
        static_cast<MqttSubscriber*>(self)->m_subscribed = true;
    });
    if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
    mosquitto_subscribe(m_mosq, nullptr, filter.c_str(), 0);
    waitFor([this] { return m_subscribed; }, std::chrono::seconds(10));
}

MqttSubscriber::~MqttSubscriber() {
    mosquitto_disconnect(m_mosq);
    mosquitto_destroy(m_mosq);
}

void MqttSubscriber::step() {
    mosquitto_loop(m_mosq, 5, 10);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::vector<std::string> MqttSubscriber::payloads(const std::string& topic) const {
    std::vector<std::string> out;
    for (const MqttMessageSeen& m : messages)
        if (m.topic == topic) out.push_back(m.payload);
    return out;
}

} // namespace cv::test
