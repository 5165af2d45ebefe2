#pragma once
// Builders of well-framed logger packets for receiver tests.
#include <cstdint>
#include <random>
#include <vector>

#include "base/bytes.h"
#include "link/receiver.h"
#include "support/fakes.h"

namespace cv::test {

inline std::vector<uint8_t> fixedPacket(int type, uint8_t fill = 0x11) {
    std::vector<uint8_t> p(PacketReceiver::fixedLength(type), fill);
    frameBlock(p.data(), p.size(), uint8_t(type));
    return p;
}

inline std::vector<uint8_t> muxPacket(size_t payload, uint8_t unit = 2, uint8_t seq = 0, uint8_t fill = 0x41) {
    std::vector<uint8_t> p(payload + kMuxOverhead, fill);
    p[2] = 0;  // record bytes 0 and 1: kept clear of a lead word so junk handling stays simple
    p[3] = 0;
    p[4] = unit;
    p[5] = seq;
    putU16be(&p[6], uint16_t(payload));
    for (int s = 0; s < 9; ++s) putU16be(&p[12 + 2 * size_t(s)], 0);
    if (payload) putU16be(&p[12], uint16_t(payload));
    frameBlock(p.data(), p.size(), 8);
    return p;
}

// A receiver reading the logger port, which is open on a fake line the test feeds. The clock
// is the receiver's only once a test hands it over.
struct ReceiverRig {
    FakeSerialFactory factory;
    FakeDialogs dialogs;
    FakeClock clock;
    PortSlotTable ports{factory, dialogs};
    LoggerRecords records;
    PacketReceiver rx{ports, records};
    std::shared_ptr<FakeLine> line = factory.line(1);
    ReceiverRig() { ports.openPortSlot(0, 1, 6); }
};

} // namespace cv::test
