#include "adapters/network_sockets_qt.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace cv::share {

namespace {
// One hop: the ship's or the lab's own network. Wider needs multicast routing set up anyway.
constexpr int kMulticastHops = 1;
// What Qt may read from a client before it is thrown away: clients have nothing to say.
constexpr qint64 kClientReadBuffer = 4096;
} // namespace

UdpOutput::UdpOutput(const QHostAddress& destination, quint16 port, QObject* parent)
    : NetworkOutput(parent), m_socket(new QUdpSocket(this)), m_destination(destination), m_port(port) {
    // Nobody is meant to send to this socket; what comes is thrown away, not kept.
    connect(m_socket, &QUdpSocket::readyRead, this, [this] {
        while (m_socket->hasPendingDatagrams()) m_socket->receiveDatagram(0);
    });
}

bool UdpOutput::start() {
    if (!m_socket->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        m_fault = m_socket->errorString();
        return false;
    }
    if (m_destination.isMulticast()) m_socket->setSocketOption(QAbstractSocket::MulticastTtlOption, kMulticastHops);
    return true;
}

void UdpOutput::send(std::string_view bytes) {
    if (m_socket->writeDatagram(bytes.data(), qint64(bytes.size()), m_destination, m_port) >= 0) return;
    ++m_errors;
    m_bytesDropped += bytes.size();
    m_lastError = m_socket->errorString();
}

OutputFigures UdpOutput::figures() const {
    OutputFigures f;
    f.on = true;
    f.fault = m_fault.toStdString();
    f.bytesDropped = m_bytesDropped;
    f.lastError = m_lastError.toStdString();
    return f;
}

struct TcpOutput::Client : StreamClient {
    explicit Client(QTcpSocket* s) : socket(s) {}
    size_t queued() const override { return size_t(socket->bytesToWrite()); }
    void write(std::string_view bytes) override { socket->write(bytes.data(), qint64(bytes.size())); }
    QTcpSocket* socket;
};

TcpOutput::TcpOutput(quint16 port, size_t queueBound, QObject* parent)
    : NetworkOutput(parent), m_server(new QTcpServer(this)), m_port(port), m_fanOut(queueBound) {
    connect(m_server, &QTcpServer::newConnection, this, &TcpOutput::accept);
}

TcpOutput::~TcpOutput() {
    // The sockets are the server's children; their signals must not reach a half-gone output.
    for (const auto& c : m_clients) c->socket->disconnect(this);
}

bool TcpOutput::start() {
    if (!m_server->listen(QHostAddress::Any, m_port)) {
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
    OutputFigures f;
    f.on = true;
    f.fault = m_fault.toStdString();
    f.clients = m_fanOut.clients();
    f.droppedClients = m_fanOut.droppedClients();
    f.bytesDropped = m_fanOut.bytesDropped();
    f.lastError = m_lastError.toStdString();
    return f;
}

std::unique_ptr<OutputSocket> QtOutputSocketFactory::make(const OutputConfig& config) {
    if (config.protocol == Protocol::Udp)
        return std::make_unique<UdpOutput>(QHostAddress(QString::fromStdString(config.host)), quint16(config.port));
    return std::make_unique<TcpOutput>(quint16(config.port));
}

} // namespace cv::share
