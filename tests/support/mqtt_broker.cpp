#include "mqtt_broker.h"

#include <mosquitto.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace cv::test {

namespace {

int freeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
}

bool accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

void pumpQt() { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }

} // namespace

MqttBroker::MqttBroker() : m_port(freeLoopbackPort()) {
    m_config = (std::filesystem::temp_directory_path() / ("cvhost-mqtt-" + std::to_string(::getpid()) + "-" +
                                                          std::to_string(m_port) + ".conf"))
                   .string();
    std::ofstream(m_config) << "listener " << m_port << " 127.0.0.1\nallow_anonymous true\npersistence false\n";
}

MqttBroker::~MqttBroker() {
    stop();
    std::remove(m_config.c_str());
}

bool MqttBroker::start() {
    const std::string program = "/usr/sbin/mosquitto";
    std::vector<std::string> args{program, "-c", m_config};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const bool spawned = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) {
        m_pid = -1;
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!accepts(m_port)) {
        if (std::chrono::steady_clock::now() > end || ::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void MqttBroker::stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

MqttSubscriber::MqttSubscriber(int port, const std::string& filter) {
    mosquitto_lib_init();
    m_mosq = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* m) {
        auto* me = static_cast<MqttSubscriber*>(self);
        me->messages.push_back(
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
    pumpQt();
}

std::vector<std::string> MqttSubscriber::payloads(const std::string& topic) const {
    std::vector<std::string> out;
    for (const MqttMessageSeen& m : messages)
        if (m.topic == topic) out.push_back(m.payload);
    return out;
}

} // namespace cv::test
