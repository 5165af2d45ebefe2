#include <gtest/gtest.h>

#include <numeric>
#include <ctime>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "protocol/mux_record.h"
#include "share/mqtt_session.h"
#include "share/network_feed.h"
#include "share/network_outputs.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv::share {
namespace {

struct ParseCase {
    const char* name;
    Protocol protocol;
    const char* text;
    const char* result;  // text() of what was read, or a word of the fault
};

class OutputConfigText : public ::testing::TestWithParam<ParseCase> {};

TEST_P(OutputConfigText, ReadsWhatAnOperatorWritesAndNamesTheFault) {
    const ParseCase& c = GetParam();
    std::string fault;
    const auto config = parseOutputConfig(c.text, c.protocol, fault);
    if (!config) {
        EXPECT_NE(fault.find(c.result), std::string::npos) << c.text << ": " << fault;
        return;
    }
    EXPECT_EQ(config->text(), c.result);
    std::string again;
    EXPECT_EQ(parseOutputConfig(config->text(), c.protocol, again), config);
}

constexpr Protocol U = Protocol::Udp, T = Protocol::Tcp;
INSTANTIATE_TEST_SUITE_P(
    Forms, OutputConfigText,
    ::testing::Values(ParseCase{"Unicast", U, "2:3=192.168.1.20:5001", "2:3=192.168.1.20:5001"},
                      ParseCase{"Broadcast", U, "1:9=255.255.255.255:10110", "1:9=255.255.255.255:10110"},
                      ParseCase{"Multicast", U, "4:8=239.1.2.3:6000", "4:8=239.1.2.3:6000"},
                      ParseCase{"IPv6", U, "2:1=[::1]:5001", "2:1=[::1]:5001"},
                      ParseCase{"IPv6Multicast", U, "2:1=[ff02::1%eth0]:5001", "2:1=[ff02::1%eth0]:5001"},
                      ParseCase{"HostName", U, "2:1=chart-table.local:5001", "2:1=chart-table.local:5001"},
                      ParseCase{"Options", U, "2:1=10.0.0.1:5001,valid,time", "2:1=10.0.0.1:5001,time,valid"},
                      ParseCase{"EveryAddress", T, "2:1=5001,time", "2:1=5001,time"},
                      ParseCase{"ListenIPv4", T, "3:2=127.0.0.1:65535", "3:2=127.0.0.1:65535"},
                      ParseCase{"ListenIPv6", T, "3:2=[::]:5001", "3:2=[::]:5001"},
                      ParseCase{"LoggerZero", T, "0:1=5001", "logger ID"}, ParseCase{"LoggerFive", T, "5:1=5001", "logger ID"},
                      ParseCase{"SectionZero", T, "2:0=5001", "port from 1 to 9"},
                      ParseCase{"SectionTen", T, "2:10=5001", "port from 1 to 9"},
                      ParseCase{"PortZero", T, "2:1=0", "network port"}, ParseCase{"PortHigh", T, "2:1=65536", "network port"},
                      ParseCase{"UdpWithoutHost", U, "2:1=5001", "HOST:PORT"},
                      ParseCase{"ShortIPv4", U, "2:1=1.2.3:5001", "IPv4"}, ParseCase{"IPv4Over255", U, "2:1=1.2.3.256:5001", "IPv4"},
                      ParseCase{"BadName", U, "2:1=chart_table:5001", "host name"},
                      ParseCase{"IPv6WithoutBrackets", U, "2:1=fe80::1:5001", "brackets"},
                      ParseCase{"NotIPv6InBrackets", U, "2:1=[chart]:5001", "brackets"},
                      ParseCase{"ListenOnName", T, "2:1=chart.local:5001", "listen"},
                      ParseCase{"UnknownOption", U, "2:1=10.0.0.1:5001,fast", "'valid'"},
                      ParseCase{"NoPort", U, "2:1=10.0.0.1:", "network port"}, ParseCase{"NoSection", T, "2=5001", "SECTION"},
                      ParseCase{"NoTarget", T, "2:1", "SECTION"}, ParseCase{"Empty", U, "", "SECTION"},
                      ParseCase{"LoggerNotANumber", T, "x:1=5001", "logger ID"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TimeCase {
    const char* name;
    int64_t utcMs;
    const char* prefix;
};
class UtcTimePrefix : public ::testing::TestWithParam<TimeCase> {};

TEST_P(UtcTimePrefix, IsTheUtcTimeToTheMillisecond) { EXPECT_EQ(utcTimePrefix(GetParam().utcMs), GetParam().prefix); }

INSTANTIATE_TEST_SUITE_P(Times, UtcTimePrefix,
                         ::testing::Values(TimeCase{"Epoch", 0, "1970-01-01T00:00:00.000Z "},
                                           TimeCase{"Afternoon", 1796738722713, "2026-12-08T14:05:22.713Z "},
                                           TimeCase{"LeapDayEnd", 1709251199999, "2024-02-29T23:59:59.999Z "},
                                           TimeCase{"CenturyMarch", 951868800001, "2000-03-01T00:00:00.001Z "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutputConfigText, TellsMulticastFromOtherAddresses) {
    EXPECT_TRUE(isMulticast("239.255.0.1"));
    EXPECT_TRUE(isMulticast("224.0.0.251"));
    EXPECT_FALSE(isMulticast("255.255.255.255"));
    EXPECT_FALSE(isMulticast("192.168.1.255"));
}

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::vector<std::string> cut(const std::vector<std::string>& feeds, std::string_view prefix = {},
                             size_t max = kMaxDatagram) {
    DatagramCutter cutter(max);
    std::vector<std::string> out;
    for (const std::string& f : feeds)
        cutter.feed(bytesOf(f), f.size(), prefix, [&](std::string_view d) { out.emplace_back(d); });
    return out;
}

TEST(DatagramCutter, SendsOneDatagramPerWholeLineAcrossFeeds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(cut({"$A,1*00\r\n$B,", "2\r", "\n\r\nC 3\n\nD"}), (V{"$A,1*00\r\n", "$B,2\r\n", "C 3\r\n"}));
    EXPECT_EQ(cut({"one\rtwo\n"}, "T "), (V{"T one\r\n", "T two\r\n"}));
}

struct LongLineCase {
    const char* name;
    std::string prefix;
};
void PrintTo(const LongLineCase& c, std::ostream* out) { *out << c.name; }
class DatagramCutterLongLine : public ::testing::TestWithParam<LongLineCase> {};

// Every length around the multiples of a piece, so the line end falls on each side of a
// piece's edge.
TEST_P(DatagramCutterLongLine, NoDatagramIsOverTheLimitAndThePiecesMakeTheLine) {
    const std::string& prefix = GetParam().prefix;
    const size_t piece = kMaxDatagram - 2;
    for (size_t pieces = 1; pieces <= 3; ++pieces) {
        for (size_t length = pieces * piece - prefix.size() - 3; length <= pieces * piece - prefix.size() + 3; ++length) {
            const std::string line(length, 'x');
            const auto out = cut({line.substr(0, 1000), line.substr(1000) + "\r\nnext\r\n"}, prefix);
            ASSERT_GE(out.size(), 2u);
            std::string joined;
            for (size_t i = 0; i + 1 < out.size(); ++i) {
                EXPECT_LE(out[i].size(), kMaxDatagram) << "line of " << length;
                joined += out[i];
            }
            EXPECT_TRUE(joined == prefix + line + "\r\n") << "line of " << length;
            EXPECT_EQ(out.back(), prefix + "next\r\n");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Prefixes, DatagramCutterLongLine,
                         ::testing::Values(LongLineCase{"Plain", ""}, LongLineCase{"PcTime", "2026-12-08T11:20:00.000Z "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinePrefixer, PassesTheStreamAsItIsOrPrefixesEachLineWithThePcTime) {
    const std::string time = utcTimePrefix(1796720707040);
    LinePrefixer plain, stamped;
    std::string a, b;
    for (const std::string& f : {std::string("x,1\r"), std::string("\ny,2\r\n\r\nz")}) {
        plain.feed(bytesOf(f), f.size(), {}, [&](std::string_view p) { a += p; });
        stamped.feed(bytesOf(f), f.size(), time, [&](std::string_view p) { b += p; });
    }
    EXPECT_EQ(a, "x,1\r\ny,2\r\n\r\nz");
    EXPECT_EQ(b, "2026-12-08T09:05:07.040Z x,1\r\n2026-12-08T09:05:07.040Z y,2\r\n\r\n2026-12-08T09:05:07.040Z z");
    EXPECT_EQ(plain.lines(), 2u);
}

struct FakeClient : StreamClient {
    size_t backlog = 0;  // what the network has not taken
    std::string got;
    size_t queued() const override { return backlog; }
    void write(std::string_view bytes) override {
        got += bytes;
        backlog += bytes.size();
    }
};

TEST(ClientFanOut, GivesUpAClientThatFallsBehindByMoreThanItsQueueAndCountsWhatItMissed) {
    ClientFanOut fan(100);
    FakeClient reader, stalled;
    fan.add(&reader);
    fan.add(&stalled);
    std::vector<StreamClient*> dropped;
    const std::string chunk(40, 'a');
    for (int i = 0; i < 3; ++i) {
        fan.send(chunk, [&](StreamClient* c) { dropped.push_back(c); });
        reader.backlog = 0;  // this one keeps up
    }
    EXPECT_EQ(dropped, std::vector<StreamClient*>{&stalled});
    EXPECT_EQ(stalled.got.size(), 80u);
    EXPECT_EQ(reader.got.size(), 120u);
    EXPECT_EQ(fan.clients(), 1);
    EXPECT_EQ(fan.droppedClients(), 1u);
    EXPECT_EQ(fan.bytesDropped(), 120u);  // the 80 it held and the 40 it would not take
}

// What the operator must not miss: an output that does not run says why, and one that runs
// shows its last error beside its counts.
TEST(NetworkFigures, ShowWhyAnOutputDoesNotRunAndItsLastError) {
    OutputFigures f;
    EXPECT_EQ(figuresText(f, Protocol::Udp), "Off");
    f.on = true;
    f.lines = 12;
    f.bytesDropped = 3;
    f.lastError = "Network unreachable";
    EXPECT_EQ(figuresText(f, Protocol::Udp), "12 lines, 3 bytes dropped, last error: Network unreachable");
    f.lastError.clear();
    f.clients = 1;
    f.droppedClients = 1;
    EXPECT_EQ(figuresText(f, Protocol::Tcp), "12 lines, 1 client, 1 dropped, 3 bytes dropped");
    f.validOnly = true;
    f.linesHeldBack = 2;
    f.state = "connected";
    f.notQueued = 4;
    EXPECT_EQ(figuresText(f, Protocol::Mqtt), "12 lines, connected, 4 not queued, 2 held back");
    f.fault = "The bound address is already in use";
    EXPECT_EQ(figuresText(f, Protocol::Tcp), "Not running: The bound address is already in use");
}

struct Sink : OutputSink {
    std::vector<std::string> got;
    void send(std::string_view bytes) override { got.emplace_back(bytes); }
};

struct GateCase {
    const char* name;
    Protocol protocol;
    bool validOnly;
    std::vector<std::string> out;
};
class TapLines : public ::testing::TestWithParam<GateCase> {};

// Good, wrong, absent and malformed checksums, a plain line, lines cut across records, the
// time of each line in UTC whatever the PC's zone.
TEST_P(TapLines, SendsEachOutputItsLinesAndHoldsBackOnlyWrongChecksumsWhenAsked) {
    const GateCase& c = GetParam();
    struct : test::FakeClock {
        int64_t utcMs() override { return 1796738722713; }
    } clock;
    clock.offsetWestSeconds = -19800;  // +05:30
    NetworkTap tap(clock);
    Sink sink;
    OutputConfig config;
    config.protocol = c.protocol;
    config.pcTime = true;
    config.validOnly = c.validOnly;
    tap.start(0, config, &sink);
    const std::string text = "$GPZDA,1*55\r\n$GPZDA,1*00\r\nplain 1\n$GPZDA,2\r\n$GPZDA,1*4\r\n";
    for (size_t at = 0; at < text.size(); at += 9) {
        const std::string piece = text.substr(at, 9);
        std::vector<uint8_t> r(mux::kOverhead + piece.size(), 0);
        r[0] = 1;
        r[2] = 2;
        putU16be(&r[4], uint16_t(piece.size()));
        putU16be(&r[10], uint16_t(piece.size()));
        std::copy(piece.begin(), piece.end(), r.begin() + mux::kHeaderLength);
        mux::headerToHostOrder(r.data());
        tap.takeRecord(mux::RecordView(r.data(), r.size()));
    }
    std::vector<std::string> got = sink.got;
    if (c.protocol == Protocol::Tcp) got = {std::accumulate(got.begin(), got.end(), std::string())};
    EXPECT_EQ(got, c.out);
    EXPECT_EQ(tap.heldBack(0), c.validOnly ? 2u : 0u);
}

const std::string kT = "2026-12-08T14:05:22.713Z ";
INSTANTIATE_TEST_SUITE_P(
    Outputs, TapLines,
    ::testing::Values(
        GateCase{"UdpAll", Protocol::Udp, false,
                 {kT + "$GPZDA,1*55\r\n", kT + "$GPZDA,1*00\r\n", kT + "plain 1\r\n", kT + "$GPZDA,2\r\n",
                  kT + "$GPZDA,1*4\r\n"}},
        GateCase{"UdpValid", Protocol::Udp, true, {kT + "$GPZDA,1*55\r\n", kT + "plain 1\r\n", kT + "$GPZDA,2\r\n"}},
        GateCase{"TcpValid", Protocol::Tcp, true, {kT + "$GPZDA,1*55\r\n" + kT + "plain 1\r\n" + kT + "$GPZDA,2\r\n"}},
        GateCase{"MqttAll", Protocol::Mqtt, false,
                 {kT + "$GPZDA,1*55", kT + "$GPZDA,1*00", kT + "plain 1", kT + "$GPZDA,2", kT + "$GPZDA,1*4"}},
        GateCase{"MqttValid", Protocol::Mqtt, true, {kT + "$GPZDA,1*55", kT + "plain 1", kT + "$GPZDA,2"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineGate, HoldsBackALineTooLongToCheckAndGoesOnWithTheNext) {
    LineGate gate(8);
    std::vector<std::string> out;
    const std::string text = "0123456789abc\r\nshort\r\n";
    gate.feed(bytesOf(text), text.size(), {}, false, [&](std::string_view l) { out.emplace_back(l); });
    EXPECT_EQ(out, std::vector<std::string>{"short"});
    EXPECT_EQ(gate.heldBack(), 1u);
}

TEST(MqttSession, WaitsLongerAfterEachFailureUpToAMinuteAndSendsTheStatusOnConnectingAndEachMinute) {
    MqttSession s;
    s.connecting();
    std::vector<int> waits;
    for (int failures = 0; failures < 8; ++failures) {
        s.disconnected("Connection refused");
        int ticks = 1;
        while (!s.secondTick()) ++ticks;
        waits.push_back(ticks);
        s.connecting();
    }
    EXPECT_EQ(waits, (std::vector<int>{1, 2, 4, 8, 16, 32, 60, 60}));
    EXPECT_EQ(s.lastError(), "Connection refused");
    s.connected();
    EXPECT_TRUE(s.takeStatusDue());
    int ticks = 0;
    do ++ticks;
    while (!(s.secondTick(), s.takeStatusDue()));
    EXPECT_EQ(ticks, kMqttStatusSeconds);
    s.disconnected("");
    EXPECT_EQ(s.backoff(), 1);
    // A broker that takes the connection and never answers is given up after a while.
    s.connecting();
    for (int t = 0; t < kMqttConnectSeconds; ++t) EXPECT_FALSE(s.secondTick());
    EXPECT_EQ(s.state(), MqttSession::State::Waiting);
    EXPECT_EQ(s.lastError(), "no answer from the broker");
}

// What an output's second tells, from the figures before and after: clients that came, were
// given up or left in the same second are all told, and so is a send that failed.
struct OutputCase {
    const char* name;
    Protocol protocol;
    OutputFigures before, after;
    int connected, dropped, left;
    std::string trouble;
};
OutputFigures clients(int now, uint64_t droppedSoFar = 0) {
    OutputFigures f;
    f.clients = now;
    f.droppedClients = droppedSoFar;
    return f;
}
OutputFigures troubled(uint64_t bytesDropped, std::string lastError) {
    OutputFigures f;
    f.bytesDropped = bytesDropped;
    f.lastError = std::move(lastError);
    return f;
}
class OutputChanges : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputChanges, TellWhoCameWhoWentAndWhatFailed) {
    struct Socket : OutputSocket {
        OutputFigures* now;
        explicit Socket(OutputFigures* f) : now(f) {}
        bool start() override { return true; }
        std::string startFault() const override { return {}; }
        OutputFigures figures() const override { return *now; }
        void send(std::string_view) override {}
    };
    struct Sockets : OutputSocketFactory {
        OutputFigures figures;
        std::unique_ptr<OutputSocket> make(const OutputConfig&) override { return std::make_unique<Socket>(&figures); }
    } sockets;
    test::FakeClock clock;
    NetworkOutputs outputs{sockets, clock};
    OutputConfig config;
    config.protocol = GetParam().protocol;
    sockets.figures = GetParam().before;
    ASSERT_TRUE(outputs.start(0, config));
    sockets.figures = GetParam().after;
    const OutputChange change = outputs.changes()[0];
    EXPECT_EQ(change.connected, GetParam().connected);
    EXPECT_EQ(change.dropped, GetParam().dropped);
    EXPECT_EQ(change.left, GetParam().left);
    EXPECT_EQ(change.clients, GetParam().after.clients);
    EXPECT_EQ(change.trouble, GetParam().trouble);
    EXPECT_FALSE(outputs.changes()[0].any()) << "told once";
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, OutputChanges,
    ::testing::Values(OutputCase{"TwoCame", Protocol::Tcp, clients(0), clients(2), 2, 0, 0, ""},
                      OutputCase{"OneGivenUpOneCame", Protocol::Tcp, clients(1), clients(1, 1), 1, 1, 0, ""},
                      OutputCase{"OneLeftByItself", Protocol::Tcp, clients(2), clients(1), 0, 0, 1, ""},
                      OutputCase{"ANewSendError", Protocol::Udp, troubled(10, ""), troubled(30, "Network unreachable"),
                                 0, 0, 0, "Network unreachable"},
                      OutputCase{"DatagramsLostWithTheSameError", Protocol::Udp, troubled(10, "Network unreachable"),
                                 troubled(30, "Network unreachable"), 0, 0, 0, "datagrams could not be sent"},
                      OutputCase{"AStreamClientsBytesAreNoTrouble", Protocol::Tcp, troubled(10, ""), troubled(30, ""),
                                 0, 0, 0, ""},
                      OutputCase{"NothingHappened", Protocol::Udp, troubled(10, "x"), troubled(10, "x"), 0, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Sections sent to one broker under one topic prefix share its connection: one socket made,
// started and ticked, kept while any section uses it, and its failure told once, on the first
// section that uses it. Another prefix or broker is a connection of its own.
TEST(BrokerConnections, SectionsToOneBrokerShareOneConnection) {
    struct Broker : OutputSocket {
        int ticks = 0;
        bool start() override { return true; }
        std::string startFault() const override { return {}; }
        OutputFigures figures() const override { return {}; }
        void send(std::string_view) override {}
        void secondTick() override { ++ticks; }
        void fail(const std::string& reason) { failedLater(reason); }
    };
    struct Sockets : OutputSocketFactory {
        std::vector<Broker*> made;
        std::unique_ptr<OutputSocket> make(const OutputConfig&) override {
            auto b = std::make_unique<Broker>();
            made.push_back(b.get());
            return b;
        }
    } sockets;
    test::FakeClock clock;
    NetworkOutputs outputs{sockets, clock};
    std::vector<std::pair<int, std::string>> failures;
    outputs.setFailureHandler([&](int index, const std::string& why) { failures.emplace_back(index, why); });
    const auto mqtt = [](int section, std::string topic) {
        OutputConfig c;
        c.protocol = Protocol::Mqtt;
        c.section = section;
        c.port = 1883;
        c.topic = std::move(topic);
        return c;
    };
    ASSERT_TRUE(outputs.start(0, mqtt(1, "ship")));
    ASSERT_TRUE(outputs.start(1, mqtt(2, "ship")));
    ASSERT_TRUE(outputs.start(2, mqtt(3, "shore")));
    ASSERT_EQ(sockets.made.size(), 2u);
    EXPECT_EQ(outputs.socket(0), outputs.socket(1));
    outputs.secondTick();
    EXPECT_EQ(sockets.made[0]->ticks, 1);

    sockets.made[0]->fail("The connection was lost.");
    outputs.stop(0);
    sockets.made[0]->fail("Connection refused");
    EXPECT_EQ(failures, (std::vector<std::pair<int, std::string>>{{0, "The connection was lost."}, {1, "Connection refused"}}));
    ASSERT_TRUE(outputs.start(0, mqtt(1, "ship")));
    EXPECT_EQ(sockets.made.size(), 2u) << "the connection stayed up for section 2";
}

} // namespace
} // namespace cv::share
