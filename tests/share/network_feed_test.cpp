#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "share/network_feed.h"

namespace cv::share {
namespace {

struct ParseCase {
    const char* text;
    bool good;
    const char* normal;  // text() of what was read; the input itself when empty
};

class OutputConfigText : public ::testing::TestWithParam<ParseCase> {};

TEST_P(OutputConfigText, ReadsWhatAnOperatorWritesAndNamesTheFault) {
    const ParseCase& c = GetParam();
    std::string fault;
    const auto config = parseOutputConfig(c.text, fault);
    ASSERT_EQ(config.has_value(), c.good) << c.text << ": " << fault;
    if (!c.good) {
        EXPECT_FALSE(fault.empty());
        return;
    }
    EXPECT_EQ(config->text(), *c.normal ? c.normal : c.text);
    std::string again;
    EXPECT_EQ(parseOutputConfig(config->text(), again), config);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OutputConfigText,
    ::testing::Values(ParseCase{"2:3=192.168.1.20:5001", true, ""}, ParseCase{"1:9=255.255.255.255:10110", true, ""},
                      ParseCase{"4:8=239.1.2.3:6000", true, ""}, ParseCase{"2:1=5001", true, ""},
                      ParseCase{"3:2=65535", true, ""}, ParseCase{"0:1=5001", false, ""},
                      ParseCase{"5:1=5001", false, ""}, ParseCase{"2:0=5001", false, ""},
                      ParseCase{"2:10=5001", false, ""}, ParseCase{"2:1=0", false, ""},
                      ParseCase{"2:1=65536", false, ""}, ParseCase{"2:1=1.2.3:5001", false, ""},
                      ParseCase{"2:1=1.2.3.256:5001", false, ""}, ParseCase{"2:1=host.example:5001", false, ""},
                      ParseCase{"2:1=10.0.0.1:", false, ""}, ParseCase{"2=5001", false, ""},
                      ParseCase{"2:1", false, ""}, ParseCase{"", false, ""}, ParseCase{"x:1=5001", false, ""}));

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

TEST(DatagramCutter, SplitsALongLineSoNoDatagramIsOverTheLimitAndThePiecesMakeTheLine) {
    const std::string line(4000, 'x');
    const std::string prefix = "2026-12-08T11:20:00.000 ";
    const auto out = cut({line.substr(0, 1000), line.substr(1000) + "\r\nnext\r\n"}, prefix);
    ASSERT_EQ(out.size(), 4u);
    std::string joined;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        EXPECT_LE(out[i].size(), kMaxDatagram);
        joined += out[i];
    }
    EXPECT_EQ(joined, prefix + line + "\r\n");
    EXPECT_EQ(out.back(), prefix + "next\r\n");
}

TEST(LinePrefixer, PassesTheStreamAsItIsOrPrefixesEachLine) {
    LinePrefixer plain, stamped;
    std::string a, b;
    for (const std::string& f : {std::string("x,1\r"), std::string("\ny,2\r\n\r\nz")}) {
        plain.feed(bytesOf(f), f.size(), {}, [&](std::string_view p) { a += p; });
        stamped.feed(bytesOf(f), f.size(), "T ", [&](std::string_view p) { b += p; });
    }
    EXPECT_EQ(a, "x,1\r\ny,2\r\n\r\nz");
    EXPECT_EQ(b, "T x,1\r\nT y,2\r\n\r\nT z");
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

TEST(NetworkFigures, SayWhatAnOutputDid) {
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
    f.fault = "The bound address is already in use";
    EXPECT_EQ(figuresText(f, Protocol::Tcp), "Not running: The bound address is already in use");
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    EXPECT_EQ(pcTimePrefix(t, 40), "2026-12-08T09:05:07.040 ");
}

} // namespace
} // namespace cv::share
