#include <gtest/gtest.h>

#include <random>

#include "link/receiver.h"
#include "packets.h"
#include "support/fakes.h"

namespace cv {
namespace {

struct Recorder : PacketConsumer {
    std::vector<int> order;
    std::vector<std::vector<uint8_t>> mux;
    void onUploadBlock() override { order.push_back(4); }
    void onDirectoryEntry() override { order.push_back(5); }
    void onAnalogCalibration() override { order.push_back(6); }
    void onHardwareConfiguration() override { order.push_back(7); }
    void onMuxRecord(uint8_t* r, size_t n, int) override {
        order.push_back(8);
        mux.emplace_back(r, r + n);
    }
};

struct ReceiverFixture : ::testing::Test, test::ReceiverRig {
    Recorder sink;

    void SetUp() override { rx.setConsumer(&sink); }
    int tick() { return rx.receiveLoggerPackets(0); }
};

TEST_F(ReceiverFixture, FlashErrorPacketInTwoReadsFramesOnTheSecond) {
    const auto p = test::bytesOf("02 02 03 00 00 00 00 00 00 00 07 00");
    line->feed({p.begin(), p.begin() + 5});
    EXPECT_EQ(tick(), kBytesNoPacket);
    EXPECT_EQ(rx.fillCount(), 5u);
    line->feed({p.begin() + 5, p.end()});
    EXPECT_EQ(tick(), kPacketFramed);
    EXPECT_EQ(records.flashErrorCount, 3);
    EXPECT_EQ(rx.fillCount(), 0u);
}

TEST_F(ReceiverFixture, JunkByteBeforeAStatusIsDroppedInTheSameCall) {
    auto status = test::fixedPacket(3);
    status.insert(status.begin(), 0x55);
    line->feed(status);
    EXPECT_EQ(tick(), kPacketFramed);
    EXPECT_TRUE(records.statusArrived);
    EXPECT_EQ(rx.fillCount(), 0u);
}

TEST_F(ReceiverFixture, TwoPacketsTakeTwoCalls) {
    auto a = test::fixedPacket(5);
    auto b = test::fixedPacket(7);
    a.insert(a.end(), b.begin(), b.end());
    line->feed(a);
    EXPECT_EQ(tick(), kPacketFramed);
    EXPECT_EQ(sink.order, (std::vector<int>{5}));
    EXPECT_EQ(tick(), kPacketFramed);
    EXPECT_EQ(sink.order, (std::vector<int>{5, 7}));
    EXPECT_EQ(tick(), kNothingRead);
}

TEST_F(ReceiverFixture, IncompleteSetupWaitsWithoutDroppingThenChecksumDecides) {
    auto setup = test::fixedPacket(1);
    line->feed({setup.begin(), setup.begin() + 100});
    EXPECT_EQ(tick(), kBytesNoPacket);
    EXPECT_EQ(rx.fillCount(), 100u);
    line->feed({setup.begin() + 100, setup.end()});
    EXPECT_EQ(tick(), kPacketFramed);
    EXPECT_TRUE(records.setupArrived);
    EXPECT_TRUE(std::equal(setup.begin(), setup.end(), records.setup.begin()));
}

TEST_F(ReceiverFixture, BadUploadBlockIsCountedOnceAndCostsOneByte) {
    auto block = test::fixedPacket(4);
    block[500] ^= 0xFF;
    line->feed(block);
    EXPECT_EQ(tick(), kBytesNoPacket);
    EXPECT_EQ(rx.counters().badUploadBlocks, 1u);
    EXPECT_TRUE(sink.order.empty());
}

TEST_F(ReceiverFixture, OversizeMuxCostsOneByteAndEndsThePass) {
    auto p = test::muxPacket(10);
    putU16be(&p[6], 5000);
    line->feed(p);
    EXPECT_EQ(tick(), kBytesNoPacket);
    EXPECT_EQ(rx.fillCount(), p.size() - 1);
    EXPECT_EQ(rx.counters().rejectedMuxLength, 5000u);
}

// A mux packet that could never fit the buffer must not hold the receiver forever.
class MuxThatCannotFit : public ReceiverFixture, public ::testing::WithParamInterface<int> {};

TEST_P(MuxThatCannotFit, IsRejectedLikeAnOversizeOne) {
    std::vector<uint8_t> head = {8, 8, 1, 1, 2, 0, 0, 0};
    putU16be(&head[6], uint16_t(GetParam()));
    head.resize(64, 0x20);
    line->feed(head);
    tick();
    EXPECT_EQ(rx.fillCount(), head.size() - 1);
    EXPECT_EQ(rx.expectedMuxLength(), kMuxOverhead);
}

INSTANTIATE_TEST_SUITE_P(Lengths, MuxThatCannotFit, ::testing::Values(4061, 4080, 4096, 4097, 65535));

TEST_F(ReceiverFixture, LargestMuxThatFitsIsFramed) {
    line->feed(test::muxPacket(kMaxMuxPayload));
    int r = kBytesNoPacket;
    for (int i = 0; i < 3 && r != kPacketFramed; ++i) r = tick();
    EXPECT_EQ(r, kPacketFramed);
    ASSERT_EQ(sink.mux.size(), 1u);
    EXPECT_EQ(sink.mux[0].size(), kMaxMuxPayload + 32);
}

TEST_F(ReceiverFixture, EmptyMuxRecordIsHandedOverWith32Bytes) {
    line->feed(test::muxPacket(0));
    EXPECT_EQ(tick(), kPacketFramed);
    ASSERT_EQ(sink.mux.size(), 1u);
    EXPECT_EQ(sink.mux[0].size(), 32u);
}

TEST_F(ReceiverFixture, CorruptMuxThenGoodMuxOfAnotherLength) {
    auto bad = test::muxPacket(50, 2, 0);
    bad[40] ^= 0x01;
    auto good = test::muxPacket(20, 2, 1);
    std::vector<uint8_t> all = bad;
    all.insert(all.end(), good.begin(), good.end());
    line->feed(all);
    EXPECT_EQ(tick(), kBytesNoPacket);  // the corrupt one costs a byte
    int r = kBytesNoPacket;
    for (int i = 0; i < 4 && r != kPacketFramed; ++i) r = tick();
    EXPECT_EQ(r, kPacketFramed);
    ASSERT_EQ(sink.mux.size(), 1u);
    EXPECT_EQ(sink.mux[0].size(), 20u + 32u);
    EXPECT_EQ(sink.mux[0][3], 1);  // sequence of the good one
}

TEST_F(ReceiverFixture, LargestMuxPayloadThisSecondRises) {
    line->feed(test::muxPacket(30));
    tick();
    line->feed(test::muxPacket(10, 2, 1));
    tick();
    EXPECT_EQ(rx.counters().largestMuxThisSecond, 30);
}

TEST_F(ReceiverFixture, DrainDropsHalfReceivedBytes) {
    auto setup = test::fixedPacket(1);
    line->feed({setup.begin(), setup.begin() + 50});
    tick();
    line->feed({setup.begin() + 50, setup.end()});
    rx.drainLoggerPort();
    EXPECT_EQ(rx.fillCount(), 0u);
    EXPECT_EQ(tick(), kNothingRead);
    EXPECT_FALSE(records.setupArrived);
}

// Random chunks of valid packets of every type, junk, truncated and oversize mux heads: the
// receiver never holds more than its buffer, frames only packets whose checksum holds, loses
// no valid packet that is not overlapped by junk handling, and its counters add up.
TEST_F(ReceiverFixture, SurvivesAMillionRandomChunks) {
    std::mt19937 rng(12345);
    struct Checker : PacketConsumer {
        LoggerRecords* records = nullptr;
        size_t bad = 0;
        void check(const uint8_t* p, size_t n) { bad += packetChecksumOk(p, n) ? 0 : 1; }
        void onUploadBlock() override { check(records->uploadBlock.data(), kUploadBlockLength); }
        void onDirectoryEntry() override { check(records->directoryEntry.data(), kDirectoryEntryLength); }
        void onAnalogCalibration() override { check(records->analog.data(), kAnalogLength); }
        void onHardwareConfiguration() override { check(records->hardware.data(), kHardwareLength); }
        void onMuxRecord(uint8_t* r, size_t n, int) override {
            // The record sits in the receive buffer between its type bytes and its checksum.
            check(r - 2, n + 4);
            if (n < 32 || getU16be(r + 4) + 32u != n) bad++;
        }
    } checker;
    checker.records = &records;
    rx.setConsumer(&checker);
    uint64_t fed = 0;
    uint32_t framedCalls = 0;
    for (int chunk = 0; chunk < 1000000; ++chunk) {
        std::vector<uint8_t> bytes;
        switch (rng() % 8) {
        case 0: bytes = test::fixedPacket(int(1 + rng() % 7), uint8_t(rng())); break;
        case 1: bytes = test::muxPacket(rng() % 300, uint8_t(rng() % 5), uint8_t(rng())); break;
        case 2: {
            bytes = test::fixedPacket(int(1 + rng() % 7));
            bytes.resize(rng() % bytes.size());
            break;
        }
        case 3: {
            bytes = {8, 8, 0, 0, 0, 0, 0, 0};
            putU16be(&bytes[6], uint16_t(4000 + rng() % 2000));
            break;
        }
        default:
            bytes.resize(1 + rng() % 40);
            for (auto& b : bytes) b = uint8_t(rng() % 10);
        }
        fed += bytes.size();
        line->feed(bytes);
        const int r = tick();
        ASSERT_LE(rx.fillCount(), kReceiveBufferSize);
        if (r == kPacketFramed) framedCalls++;
        // Keep the fake line from growing without end when the receiver falls behind.
        while (line->input.size() > 8192) {
            if (tick() == kPacketFramed) framedCalls++;
            ASSERT_LE(rx.fillCount(), kReceiveBufferSize);
        }
    }
    while (!line->input.empty() || rx.fillCount() >= 12) {
        const uint32_t before = rx.counters().packetsFramed;
        const size_t fillBefore = rx.fillCount();
        if (tick() == kPacketFramed) framedCalls++;
        if (line->input.empty() && rx.counters().packetsFramed == before && rx.fillCount() == fillBefore) break;
    }
    EXPECT_EQ(checker.bad, 0u);
    EXPECT_EQ(rx.counters().bytesReceived, fed);
    EXPECT_EQ(rx.counters().packetsFramed, framedCalls);
    EXPECT_GT(rx.counters().packetsFramed, 100000u);
}

} // namespace
} // namespace cv
