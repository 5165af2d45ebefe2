// A consumer may open a modal box; the box's message loop runs further receive ticks before the
// consumer returns. Every packet must still be handed over exactly once, and the packets queued
// behind it must come through intact.
#include <gtest/gtest.h>

#include "link/receiver.h"
#include "packets.h"
#include "support/fakes.h"
#include "support/case_name.h"

namespace cv {
namespace {

struct NestingConsumer : PacketConsumer {
    PacketReceiver* rx = nullptr;
    int nestAtType = 0;  // the type whose hand-over runs one nested receive tick
    bool nested = false;
    std::vector<int> order;
    std::vector<std::vector<uint8_t>> mux;

    void arrived(int type) {
        order.push_back(type);
        if (type == nestAtType && !nested) {
            nested = true;
            rx->receiveLoggerPackets();  // a timer tick inside the consumer's box
        }
    }
    void onUploadBlock() override { arrived(4); }
    void onDirectoryEntry() override { arrived(5); }
    void onAnalogCalibration() override { arrived(6); }
    void onHardwareConfiguration() override { arrived(7); }
    void onMuxRecord(uint8_t* r, size_t n) override {
        mux.emplace_back(r, r + n);
        arrived(8);
    }
};

struct NestedTickFixture : ::testing::Test, test::ReceiverRig {
    NestingConsumer consumer;

    void SetUp() override {
        consumer.rx = &rx;
        rx.setConsumer(&consumer);
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) rx.receiveLoggerPackets();
    }
};

class NestedTickPerType : public NestedTickFixture, public ::testing::WithParamInterface<int> {};

TEST_P(NestedTickPerType, PacketIsHandedOverOnceAndTheNextOneSurvives) {
    const int type = GetParam();
    auto bytes = test::fixedPacket(type);
    const auto next = test::fixedPacket(6, 0x22);
    bytes.insert(bytes.end(), next.begin(), next.end());
    line->feed(bytes);
    consumer.nestAtType = type;
    ticks(4);
    EXPECT_EQ(consumer.order, (std::vector<int>{type, 6}));
    EXPECT_EQ(rx.fillCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(FixedTypes, NestedTickPerType, ::testing::Values(4, 5, 7),
                         [](const auto& i) { return "Type" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

// Were the mux packet still at the head of the buffer while its consumer runs, a tick inside
// the consumer's box would frame it again, and the outer call would then remove a packet's
// length of the bytes behind it.
TEST_F(NestedTickFixture, MuxRecordIsHandedOverOnceAndTheNextPacketSurvives) {
    auto bytes = test::muxPacket(20);
    const auto status = test::fixedPacket(3, 0x33);
    bytes.insert(bytes.end(), status.begin(), status.end());
    line->feed(bytes);
    consumer.nestAtType = 8;
    ticks(4);
    EXPECT_EQ(consumer.mux.size(), 1u);
    EXPECT_TRUE(records.statusArrived);
    EXPECT_EQ(records.status[2], 0x33);
    EXPECT_EQ(rx.fillCount(), 0u);
}

} // namespace
} // namespace cv
