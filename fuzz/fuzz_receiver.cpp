// libFuzzer target: any byte stream through the receiver, cut into chunks, at a line speed and
// with a clock that jumps between ticks, all chosen by the input's first bytes.
#include <cstddef>
#include <cstdint>

#include "memory_serial.h"
#include "link/receiver.h"

namespace {

struct SteppedClock : cv::HostClock {
    uint32_t ms = 0xFFFFF000u;  // elapsed milliseconds wrap early
    int64_t now() override { return 1700000000; }
    std::tm localTime(int64_t) override { return {}; }
    int64_t fromLocalTime(std::tm) override { return 0; }
    long offsetWest() override { return 0; }
    int hundredths() override { return 0; }
    uint32_t elapsedMs() override { return ms; }
};

// Input: largest read, speed choice, eight clock steps (16 ms units, cycled per tick), line bytes.
constexpr size_t kHeader = 10;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    cv::SilentDialogs dialogs;
    cv::MemorySerialFactory factory;
    cv::PortSlotTable ports(factory, dialogs);
    cv::LoggerRecords records;
    cv::PacketReceiver rx(ports, records);
    SteppedClock clock;
    rx.setClock(&clock);
    ports.openPortSlot(0, 1, 1 + data[1] % 11);
    factory.device.maxChunk = 1 + data[0] % 64;
    factory.device.stream.assign(data + kHeader, data + size);
    for (size_t i = 0; i < size * 2 + 16; ++i) {
        clock.ms += uint32_t(data[2 + i % 8]) * 16;
        rx.receiveLoggerPackets();
        if (rx.fillCount() > cv::kReceiveBufferSize) __builtin_trap();
    }
    // Once the line is quiet, time must free the buffer of every head that waits for bytes.
    for (size_t i = 0; i < 2 * cv::kReceiveBufferSize + 16 && rx.fillCount() >= 12; ++i) {
        clock.ms += 100000;
        rx.receiveLoggerPackets();
    }
    if (rx.fillCount() >= 12) __builtin_trap();
    return 0;
}
