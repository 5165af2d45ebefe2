#include "adapters/network_sockets_qt.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include "adapters/mqtt_output_qt.h"

namespace cv::share {

namespace {
// One hop: the ship's or the lab's own network. Wider needs multicast routing set up anyway.
constexpr int kMulticastHops = 1;
// What Qt may read from a client before it is thrown away: clients have nothing to say.
constexpr qint64 kClientReadBuffer = 4096;
} // namespace

void NetworkOutput::fail(const QString& reason) {
    m_fault = reason;
    failedLater(reason.toStdString());
}

OutputFigures NetworkOutput::runningFigures() const {
    OutputFigures f;
    f.on = true;
    f.fault = m_fault.toStdString();
    f.lastError = m_lastError.toStdString();
    return f;
}

QHostAddress preferredAddress(const QList<QHostAddress>& found) {
    const auto v4 = std::find_if(found.begin(), found.end(),
                                 [](const QHostAddress& a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
    return v4 != found.end() ? *v4 : found.value(0);
}

std::unique_ptr<NetworkOutput> makeOutput(const OutputConfig& config, std::function<std::string()> status) {
    switch (config.protocol) {
    case Protocol::Udp: return std::make_unique<UdpOutput>(config.host, quint16(config.port));
    case Protocol::Tcp:
        return std::make_unique<TcpOutput>(
            config.host.empty() ? QHostAddress(QHostAddress::Any) : QHostAddress(QString::fromStdString(config.host)),
            quint16(config.port));
    case Protocol::Mqtt:
        return std::make_unique<MqttOutput>(config.host, config.port, config.topic, std::move(status));
    }
    return nullptr;
}

UdpOutput::UdpOutput(std::string host, quint16 port, QObject* parent)
    : NetworkOutput(parent), m_socket(new QUdpSocket(this)), m_host(std::move(host)), m_port(port) {
    // Nobody is meant to send to this socket; what comes is thrown away, not kept.
    connect(m_socket, &QUdpSocket::readyRead, this, [this] {
        while (m_socket->hasPendingDatagrams()) m_socket->receiveDatagram(0);
    });
}

bool UdpOutput::start() {
    const QString host = QString::fromStdString(m_host);
    if (hostKind(m_host) != HostKind::Name) return open(QHostAddress(host));
    QHostInfo::lookupHost(host, this, [this, host](const QHostInfo& info) {
        const QList<QHostAddress> found = info.addresses();
        if (info.error() != QHostInfo::NoError || found.isEmpty()) {
            fail(host + ": " + info.errorString());
            return;
        }
        if (!open(preferredAddress(found))) fail(m_fault);
    });
    return true;
}

bool UdpOutput::open(const QHostAddress& destination) {
    const bool v6 = destination.protocol() == QAbstractSocket::IPv6Protocol;
    if (!m_socket->bind(QHostAddress(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4), 0)) {
        m_fault = m_socket->errorString();
        return false;
    }
    if (destination.isMulticast()) m_socket->setSocketOption(QAbstractSocket::MulticastTtlOption, kMulticastHops);
    m_destination = destination;
    return true;
}

void UdpOutput::send(std::string_view bytes) {
    if (m_destination.isNull()) {
        m_bytesDropped += bytes.size();
        return;
    }
    if (m_socket->writeDatagram(bytes.data(), qint64(bytes.size()), m_destination, m_port) >= 0) return;
    ++m_errors;
    m_bytesDropped += bytes.size();
    m_lastError = m_socket->errorString();
}

OutputFigures UdpOutput::figures() const {
    OutputFigures f = runningFigures();
    f.bytesDropped = m_bytesDropped;
    return f;
}

struct TcpOutput::Client : StreamClient {
    explicit Client(QTcpSocket* s) : socket(s) {}
    size_t queued() const override { return size_t(socket->bytesToWrite()); }
    void write(std::string_view bytes) override { socket->write(bytes.data(), qint64(bytes.size())); }
    QTcpSocket* socket;
};

TcpOutput::TcpOutput(const QHostAddress& address, quint16 port, size_t queueBound, QObject* parent)
    : NetworkOutput(parent), m_server(new QTcpServer(this)), m_address(address), m_port(port), m_fanOut(queueBound) {
    connect(m_server, &QTcpServer::newConnection, this, &TcpOutput::accept);
}

TcpOutput::~TcpOutput() {
    // The sockets are the server's children; their signals must not reach a half-gone output.
    for (const auto& c : m_clients) c->socket->disconnect(this);
}

bool TcpOutput::start() {
    if (!m_server->listen(m_address, m_port)) {
        m_fault = m_server->errorString();
        return false;
    }
    return true;
}

quint16 TcpOutput::listeningPort() const { return m_server->serverPort(); }

void TcpOutput::accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setReadBufferSize(kClientReadBuffer);
        connect(socket, &QTcpSocket::readyRead, this, [socket] { socket->skip(socket->bytesAvailable()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket, false); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
            if (socket->error() != QAbstractSocket::RemoteHostClosedError) m_lastError = socket->errorString();
        });
        m_clients.push_back(std::make_unique<Client>(socket));
        m_fanOut.add(m_clients.back().get());
    }
}

void TcpOutput::forget(QTcpSocket* socket, bool abort) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(), [socket](const auto& c) { return c->socket == socket; });
    if (it == m_clients.end()) return;
    m_fanOut.remove(it->get());
    m_clients.erase(it);
    socket->disconnect(this);
    if (abort) socket->abort();
    socket->deleteLater();
}

void TcpOutput::send(std::string_view bytes) {
    m_fanOut.send(bytes, [this](StreamClient* c) { forget(static_cast<Client*>(c)->socket, true); });
}

OutputFigures TcpOutput::figures() const {
    OutputFigures f = runningFigures();
    f.clients = m_fanOut.clients();
    f.droppedClients = m_fanOut.droppedClients();
    f.bytesDropped = m_fanOut.bytesDropped();
    return f;
}

std::unique_ptr<OutputSocket> QtOutputSocketFactory::make(const OutputConfig& config) {
    return makeOutput(config, m_mqttStatus);
}

} // namespace cv::share
