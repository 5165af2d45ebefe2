#pragma once
// A serial device backed by memory: reads hand out a byte stream (looped when asked), writes
// are kept. Used where a line is needed without a device: benchmarks, fuzzing, replay checks.
#include <algorithm>
#include <cstring>
#include <vector>

#include "ports/serial_device.h"

namespace cv {

class MemorySerialDevice : public SerialDevice {
public:
    std::vector<uint8_t> stream;
    size_t position = 0;
    bool loop = false;
    size_t maxChunk = 4096;
    std::vector<uint8_t> written;

    bool open(int, const LineSettings&) override { return true; }
    bool close() override { return true; }
    size_t read(uint8_t* buffer, size_t room) override {
        if (stream.empty()) return 0;
        if (position >= stream.size()) {
            if (!loop) return 0;
            position = 0;
        }
        size_t n = std::min({room, maxChunk, stream.size() - position});
        std::memcpy(buffer, stream.data() + position, n);
        position += n;
        return n;
    }
    bool write(const uint8_t* data, size_t count) override {
        written.insert(written.end(), data, data + count);
        return true;
    }
};

// Hands out one shared memory device (the slot table owns a forwarding wrapper).
class MemorySerialFactory : public SerialDeviceFactory {
public:
    MemorySerialDevice device;
    std::unique_ptr<SerialDevice> create() override {
        struct Forward : SerialDevice {
            MemorySerialDevice& d;
            explicit Forward(MemorySerialDevice& dev) : d(dev) {}
            bool open(int c, const LineSettings& s) override { return d.open(c, s); }
            bool close() override { return d.close(); }
            size_t read(uint8_t* b, size_t r) override { return d.read(b, r); }
            bool write(const uint8_t* p, size_t n) override { return d.write(p, n); }
        };
        return std::make_unique<Forward>(device);
    }
};

} // namespace cv
