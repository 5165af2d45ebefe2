// libFuzzer target: any byte stream, cut into chunks by its own first bytes, through the receiver.
#include <cstddef>
#include <cstdint>

#include "memory_serial.h"
#include "link/receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    cv::SilentDialogs dialogs;
    cv::MemorySerialFactory factory;
    cv::PortSlotTable ports(factory, dialogs);
    cv::LoggerRecords records;
    cv::PacketReceiver rx(ports, records);
    ports.openPortSlot(0, 1, 6);
    factory.device.maxChunk = 1 + data[0] % 64;
    factory.device.stream.assign(data + 1, data + size);
    for (size_t i = 0; i < size * 2 + 16; ++i) {
        rx.receiveLoggerPackets(0);
        if (rx.fillCount() > cv::kReceiveBufferSize) __builtin_trap();
    }
    return 0;
}
