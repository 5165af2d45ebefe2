#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "share/network_feed.h"
#include "support/case_name.h"

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
                      ParseCase{"2:1", false, ""}, ParseCase{"", false, ""}, ParseCase{"x:1=5001", false, ""}),
                         [](const auto& i) { return ::cv::test::caseName(i.param.text); });

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
                         ::testing::Values(LongLineCase{"Plain", ""}, LongLineCase{"PcTime", "2026-12-08T11:20:00.000 "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinePrefixer, PassesTheStreamAsItIsOrPrefixesEachLineWithThePcTime) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    const std::string time = pcTimePrefix(t, 40);
    LinePrefixer plain, stamped;
    std::string a, b;
    for (const std::string& f : {std::string("x,1\r"), std::string("\ny,2\r\n\r\nz")}) {
        plain.feed(bytesOf(f), f.size(), {}, [&](std::string_view p) { a += p; });
        stamped.feed(bytesOf(f), f.size(), time, [&](std::string_view p) { b += p; });
    }
    EXPECT_EQ(a, "x,1\r\ny,2\r\n\r\nz");
    EXPECT_EQ(b, "2026-12-08T09:05:07.040 x,1\r\n2026-12-08T09:05:07.040 y,2\r\n\r\n2026-12-08T09:05:07.040 z");
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
    f.lastError = "Network unreachable";
    EXPECT_NE(figuresText(f, Protocol::Udp).find("12 lines"), std::string::npos);
    EXPECT_NE(figuresText(f, Protocol::Udp).find("Network unreachable"), std::string::npos);
    f.fault = "The bound address is already in use";
    EXPECT_EQ(figuresText(f, Protocol::Tcp), "Not running: The bound address is already in use");
}

} // namespace
} // namespace cv::share
