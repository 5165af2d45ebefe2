#pragma once
// The sockets behind the network outputs. Nothing here waits: a datagram the system will not
// take is counted, a TCP client's bytes go into Qt's write buffer, which the fan-out keeps
// bounded, and whatever a client sends is read and thrown away.
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "share/network_outputs.h"

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace cv::share {

// An output's socket side: it takes what the tap sends and tells its figures.
class NetworkOutput : public QObject, public OutputSocket {
    Q_OBJECT
public:
    using QObject::QObject;
    const QString& fault() const { return m_fault; }
    std::string startFault() const override { return m_fault.toStdString(); }

protected:
    // The output stopped working after it started (a host name that could not be found): told
    // through the failure hook.
    void fail(const QString& reason);
    // What every output's figures begin with: running, why not, and the last error.
    OutputFigures runningFigures() const;

    QString m_fault;
    QString m_lastError;
};

// The address to use of those a name has: IPv4 first, as a name with both often has an IPv6
// address no route leads to.
QHostAddress preferredAddress(const QList<QHostAddress>& found);

// The output a config asks for, not started yet. `status` is MQTT's status line.
std::unique_ptr<NetworkOutput> makeOutput(const OutputConfig& config, std::function<std::string()> status = {});

// A destination given by name is looked up without waiting; until it is found, what comes is
// dropped and counted.
class UdpOutput : public NetworkOutput {
    Q_OBJECT
public:
    UdpOutput(std::string host, quint16 port, QObject* parent = nullptr);
    bool start() override;
    void send(std::string_view bytes) override;
    OutputFigures figures() const override;

private:
    bool open(const QHostAddress& destination);

    QUdpSocket* m_socket;
    std::string m_host;
    QHostAddress m_destination;  // null until found
    quint16 m_port;
    uint64_t m_errors = 0;
    uint64_t m_bytesDropped = 0;
};

class TcpOutput : public NetworkOutput {
    Q_OBJECT
public:
    // `address` Any: every address of the PC.
    TcpOutput(const QHostAddress& address, quint16 port, size_t queueBound = kClientQueueBound,
              QObject* parent = nullptr);
    ~TcpOutput() override;
    bool start() override;
    void send(std::string_view bytes) override;
    OutputFigures figures() const override;
    // The port actually listened on (the one asked for, or the system's choice for 0).
    quint16 listeningPort() const;

private:
    struct Client;
    void accept();
    void forget(QTcpSocket* socket, bool abort);

    QTcpServer* m_server;
    QHostAddress m_address;
    quint16 m_port;
    ClientFanOut m_fanOut;
    std::vector<std::unique_ptr<Client>> m_clients;
};

// Makes the Qt socket an output's protocol asks for.
class QtOutputSocketFactory : public OutputSocketFactory {
public:
    std::unique_ptr<OutputSocket> make(const OutputConfig& config) override;
    // What a broker's connection publishes after "online, " each minute; none: "online" alone.
    void setMqttStatus(std::function<std::string()> status) { m_mqttStatus = std::move(status); }

private:
    std::function<std::string()> m_mqttStatus;
};

} // namespace cv::share
