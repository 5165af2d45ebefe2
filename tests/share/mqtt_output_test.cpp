// A real broker on a loopback port: what a subscriber gets from the live stream through the
// MQTT output.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <string>
#include <vector>

#include "protocol/mux_record.h"
#include "adapters/mqtt_output_qt.h"
#include "adapters/network_sockets_qt.h"
#include "share/network_screen_qt.h"
#include "support/fakes.h"
#include "support/mqtt_broker.h"
#include "support/stream_rig.h"

namespace cv::share {
namespace {

struct Publisher {
    Publisher(int port, size_t queue)
        : out("127.0.0.1", port, "ship/kr8", {}, queue) {
        EXPECT_TRUE(out.start());
        config.protocol = Protocol::Mqtt;
        config.section = 3;
        tap.start(0, config, out.sinkFor(config));
    }
    // Lines "$XX,<n>" cut across records at odd places.
    void lines(int from, int to) {
        std::string text;
        for (int n = from; n < to; ++n) text += "$XX," + std::to_string(n) + "\r\n";
        for (size_t at = 0; at < text.size(); at += 11) {
            const auto r = hostRecord(2, seq++ & 0xFF, 3, text.substr(at, 11));
            tap.takeRecord(mux::RecordView(r.data(), r.size()));
        }
    }
    test::FakeClock clock;
    NetworkTap tap{clock};
    MqttOutput out;
    OutputConfig config;
    int seq = 0;
};

std::vector<std::string> expected(int from, int to) {
    std::vector<std::string> v;
    for (int n = from; n < to; ++n) v.push_back("$XX," + std::to_string(n));
    return v;
}

TEST(MqttOutput, ABrokerAwayLosesOnlyTheLinesItsQueueCouldNotHoldAndIsReachedAgain) {
    constexpr size_t kQueue = 20;
    test::MqttBroker broker;
    ASSERT_TRUE(broker.start());
    Publisher pub(broker.port(), kQueue);
    std::vector<std::string> got;
    {
        test::MqttSubscriber sub(broker.port(), "ship/kr8/2/3");
        ASSERT_TRUE(sub.waitFor([&] { return pub.out.connected(); }));
        pub.lines(0, 100);
        ASSERT_TRUE(sub.waitFor([&] { return sub.messages.size() >= 100; }));
        got = sub.payloads("ship/kr8/2/3");
    }
    broker.stop();
    test::MqttSubscriber none(broker.port());  // only to run the event loop while the broker is away
    ASSERT_TRUE(none.waitFor([&] { return !pub.out.connected(); }));
    pub.lines(100, 200);  // the feed goes on: 20 wait in the queue, 80 are counted
    EXPECT_EQ(pub.out.figures().notQueued, 80u);

    ASSERT_TRUE(broker.start());
    test::MqttSubscriber sub(broker.port(), "ship/kr8/2/3");
    ASSERT_TRUE(sub.connected());
    // Each tick is a second of the back-off.
    ASSERT_TRUE(sub.waitFor([&] {
        pub.out.secondTick();
        return pub.out.connected();
    }));
    pub.lines(200, 300);
    ASSERT_TRUE(sub.waitFor([&] { return sub.messages.size() >= 120; }));
    for (const std::string& p : sub.payloads("ship/kr8/2/3")) got.push_back(p);
    std::vector<std::string> want = expected(0, 120);
    for (const std::string& s : expected(200, 300)) want.push_back(s);
    EXPECT_EQ(got, want);
}

TEST(MqttOutput, TheWindowsRowPublishesEveryLineOfItsPortInOrderAndAStatusTheBrokerKeeps) {
    test::MqttBroker broker;
    ASSERT_TRUE(broker.start());
    test::MqttSubscriber sub(broker.port(), "deck/#");
    ASSERT_TRUE(sub.connected());
    StreamRig rig;
    NetworkOutputs& outputs = rig.outputs;
    NetworkScreen screen(nullptr, outputs, {});
    NetworkPanel* panel = screen.panel();
    panel->NetProtocol[0]->setCurrentIndex(2);
    emit panel->NetProtocol[0]->activated(2);
    EXPECT_EQ(panel->NetPort[0]->value(), kMqttPort);
    panel->NetPort[0]->setValue(broker.port());
    panel->NetTopic[0]->setText("deck");
    emit panel->NetTopic[0]->editingFinished();
    panel->NetSection[0]->setValue(3);
    panel->NetOn[0]->setChecked(true);
    ASSERT_TRUE(sub.waitFor([&] {
        outputs.secondTick();
        outputs.secondTick();
        screen.figuresStep();
        return panel->NetFigures[0]->text().contains("connected");
    }));
    // Lines cut across records at odd places.
    std::string text;
    for (int n = 0; n < 500; ++n) text += "$XX," + std::to_string(n) + "\r\n";
    for (size_t at = 0; at < text.size(); at += 11) rig.feed(2, 3, text.substr(at, 11));
    ASSERT_TRUE(sub.waitFor([&] { return sub.payloads("deck/2/3").size() >= 500; }));
    EXPECT_EQ(sub.payloads("deck/2/3"), expected(0, 500));
    outputs.secondTick();
    screen.figuresStep();
    EXPECT_EQ(panel->NetFigures[0]->text(), "500 lines, connected, 0 not queued");

    // One who subscribes later finds the status kept by the broker.
    test::MqttSubscriber late(broker.port(), "deck/status");
    ASSERT_TRUE(late.waitFor([&] { return !late.messages.empty(); }));
    EXPECT_EQ(late.messages[0].payload, "online");
    EXPECT_TRUE(late.messages[0].retained);
}

} // namespace
} // namespace cv::share
