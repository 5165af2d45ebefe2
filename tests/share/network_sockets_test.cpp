// Real sockets on 127.0.0.1: what a listener on the network receives from the live stream.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QNetworkDatagram>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/bytes.h"
#include "share/network_screen_qt.h"
#include "adapters/network_sockets_qt.h"
#include "stream/mux_stream.h"
#include "support/fakes.h"
#include "support/stream_rig.h"
#include "support/temp_dir.h"

namespace cv::share {
namespace {

constexpr int kDeadlineMs = 10000;

TEST(NetworkSockets, UdpListenerReceivesEveryLineOfAStreamedPortInOrderAndTheRowIsKept) {
    test::TempDir dir;
    const QString settings = QString::fromStdString((dir / "network.ini").string());
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    std::vector<std::string> got;
    QObject::connect(&listener, &QUdpSocket::readyRead, [&] {
        while (listener.hasPendingDatagrams()) got.push_back(listener.receiveDatagram().data().toStdString());
    });

    StreamRig rig;
    auto screen = std::make_unique<NetworkScreen>(nullptr, rig.outputs, settings);
    NetworkPanel* panel = screen->panel();
    panel->NetSection[0]->setValue(3);
    panel->NetPort[0]->setValue(listener.localPort());
    panel->NetValid[0]->setChecked(true);  // every line is good: nothing is held back
    panel->NetOn[0]->setChecked(true);

    std::string text;
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
        lines.push_back("$XX," + std::to_string(i) + ",12.5\r\n");
        text += lines.back();
    }
    // Records cut the text anywhere, so lines span records; another port and logger go elsewhere.
    for (size_t at = 0, n = 0; at < text.size(); at += 37, ++n) {
        rig.feed(2, 3, text.substr(at, 37));
        rig.feed(2, 1, "not this port\r\n");
        rig.feed(3, 3, "not this logger\r\n");
        if (n % 10 != 9) continue;
        // As between two ticks: what was sent arrives before more is sent.
        const size_t whole = size_t(std::count(text.begin(), text.begin() + long(std::min(at + 37, text.size())), '\n'));
        ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() >= whole; }, kDeadlineMs));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() >= lines.size(); }, kDeadlineMs));
    EXPECT_EQ(got, lines);
    screen->figuresStep();
    EXPECT_EQ(panel->NetFigures[0]->text(), "200 lines, 0 bytes dropped, 0 held back");

    screen.reset();
    NetworkScreen again(nullptr, rig.outputs, settings);
    EXPECT_TRUE(again.panel()->NetOn[0]->isChecked());
    EXPECT_EQ(again.panel()->NetSection[0]->value(), 3);
    EXPECT_EQ(again.panel()->NetPort[0]->value(), listener.localPort());
    EXPECT_TRUE(again.panel()->NetValid[0]->isChecked());
    EXPECT_FALSE(again.panel()->NetOn[1]->isChecked());
    ASSERT_NE(again.output(0), nullptr);
    again.panel()->NetOn[0]->setChecked(false);
    EXPECT_EQ(again.output(0), nullptr);
    EXPECT_EQ(again.panel()->NetFigures[0]->text(), "Off");
}

struct TcpRig {
    explicit TcpRig(size_t bound = kClientQueueBound) : out(QHostAddress::Any, 0, bound) {
        EXPECT_TRUE(out.start());
        OutputConfig config;
        config.protocol = Protocol::Tcp;
        tap.start(0, config, &out);
    }
    // One record through the tap, the way the stream's tick hands it on; returns how long it took.
    std::chrono::nanoseconds feed(const std::string& bytes) {
        const std::vector<uint8_t> r = hostRecord(2, seq++ & 0xFF, 1, bytes);
        const auto start = std::chrono::steady_clock::now();
        tap.takeRecord(mux::RecordView(r.data(), r.size()));
        return std::chrono::steady_clock::now() - start;
    }
    test::FakeClock clock;
    NetworkTap tap{clock};
    TcpOutput out;
    int seq = 0;
};

struct Reader {
    QTcpSocket socket;
    std::string got;
    explicit Reader(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll().toStdString(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
};

struct UdpCase {
    const char* name;
    const char* host;      // as the operator writes it
    const char* listener;  // where the datagrams arrive
};
class UdpDestination : public ::testing::TestWithParam<UdpCase> {};

TEST_P(UdpDestination, ReceivesTheLinesWithTheirUtcTime) {
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress(GetParam().listener), 0));
    struct : test::FakeClock {
        int64_t utcMs() override { return 1796738722713; }
    } clock;
    clock.offsetWestSeconds = -19800;  // +05:30: the prefix is UTC all the same
    std::string fault;
    const auto config = parseOutputConfig(std::string("2:1=") + GetParam().host + ":" +
                                              std::to_string(listener.localPort()) + ",time",
                                          Protocol::Udp, fault);
    ASSERT_TRUE(config) << fault;
    const auto out = makeOutput(*config);
    ASSERT_TRUE(out->start()) << out->fault().toStdString();
    NetworkTap tap(clock);
    tap.start(0, *config, out->sinkFor(*config));
    std::vector<std::string> got;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const auto r = hostRecord(2, 0, 1, "$X,1\r\n");
        tap.takeRecord(mux::RecordView(r.data(), r.size()));  // until a name is found, these are dropped
        while (listener.hasPendingDatagrams()) got.push_back(listener.receiveDatagram().data().toStdString());
        return !got.empty();
    }, kDeadlineMs));
    EXPECT_EQ(got[0], "2026-12-08T14:05:22.713Z $X,1\r\n");
}

INSTANTIATE_TEST_SUITE_P(Hosts, UdpDestination,
                         ::testing::Values(UdpCase{"IPv4", "127.0.0.1", "127.0.0.1"}, UdpCase{"IPv6", "[::1]", "::1"},
                                           UdpCase{"Name", "localhost", "127.0.0.1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkSockets, AHostNameThatIsNotFoundIsSaidWithItsReason) {
    UdpOutput out("no-such-host.invalid", 5001);
    QString reason;
    out.setFailureHandler([&](const std::string& r) { reason = QString::fromStdString(r); });
    ASSERT_TRUE(out.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reason.isEmpty(); }, 30000));
    EXPECT_TRUE(reason.startsWith("no-such-host.invalid: ")) << reason.toStdString();
    EXPECT_EQ(figuresText(out.figures(), Protocol::Udp), "Not running: " + reason.toStdString());
}

struct ListenCase {
    const char* name;
    const char* listen;
    const char* reached;    // a client here connects
    const char* unreached;  // one here is refused
};
class TcpListenAddress : public ::testing::TestWithParam<ListenCase> {};

TEST_P(TcpListenAddress, TakesClientsOnThatAddressOnly) {
    TcpOutput out(QHostAddress(GetParam().listen), 0);
    ASSERT_TRUE(out.start()) << out.fault().toStdString();
    QTcpSocket in, away;
    in.connectToHost(QHostAddress(GetParam().reached), out.listeningPort());
    away.connectToHost(QHostAddress(GetParam().unreached), out.listeningPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return out.figures().clients == 1 && away.state() == QAbstractSocket::UnconnectedState; },
                                kDeadlineMs));
    EXPECT_EQ(away.error(), QAbstractSocket::ConnectionRefusedError);
}

INSTANTIATE_TEST_SUITE_P(Addresses, TcpListenAddress,
                         ::testing::Values(ListenCase{"IPv4Loopback", "127.0.0.1", "127.0.0.1", "::1"},
                                           ListenCase{"IPv6Loopback", "::1", "::1", "127.0.0.1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkSockets, TwoTcpClientsGetTheSameBytes) {
    TcpRig rig;
    Reader a(rig.out.listeningPort()), b(rig.out.listeningPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.out.figures().clients == 2; }, kDeadlineMs));
    std::string sent;
    for (int i = 0; i < 100; ++i) {
        const std::string piece = "12.3," + std::to_string(i) + (i % 3 ? ",x" : "\r\n");
        rig.feed(piece);
        sent += piece;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.got.size() >= sent.size() && b.got.size() >= sent.size(); }, kDeadlineMs));
    EXPECT_EQ(a.got, sent);
    EXPECT_EQ(b.got, sent);
}

TEST(NetworkSockets, AClientThatStopsReadingIsDroppedWhileTheOtherGoesOnAndTheTickStaysShort) {
    constexpr size_t kBound = 64 * 1024;
    TcpRig rig(kBound);
    Reader reader(rig.out.listeningPort());
    // The stalled client never reads; a small receive window makes its backlog reach the
    // server's queue soon.
    const int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(stalled, 0);
    const int small = 4096;
    ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(rig.out.listeningPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(stalled, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.out.figures().clients == 2; }, kDeadlineMs));

    const std::string record(4000, 'x');
    std::string sent;
    std::chrono::nanoseconds longest{0};
    // Far more than the stalled client's queue and the system's buffers can hold.
    // Half a queue between two rounds of the event loop, as between two ticks.
    auto batch = [&] {
        for (int n = 0; n < 8; ++n) {
            longest = std::max(longest, rig.feed(record));
            sent += record;
        }
        return QTest::qWaitFor([&] { return reader.got.size() >= sent.size(); }, kDeadlineMs);
    };
    for (int n = 0; n < 2000 && rig.out.figures().droppedClients == 0; ++n) ASSERT_TRUE(batch());
    ASSERT_EQ(rig.out.figures().droppedClients, 1u);
    for (int n = 0; n < 10; ++n) ASSERT_TRUE(batch());
    EXPECT_EQ(reader.got.size(), sent.size());
    EXPECT_EQ(reader.got, sent);
    const OutputFigures f = rig.out.figures();
    EXPECT_EQ(f.clients, 1);
    EXPECT_GT(f.bytesDropped, kBound);
    EXPECT_LT(longest, std::chrono::milliseconds(20));
    ::close(stalled);
}

} // namespace
} // namespace cv::share
