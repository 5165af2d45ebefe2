#pragma once
// The one thing the host needs from a serial line: open by COM number with a line setting,
// read without waiting, write a whole buffer, close.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cv {

struct LineSettings {
    int baud = 9600;
    char parity = 'N';   // 'N' or 'E'
    int dataBits = 8;
    int stopBits = 1;
    bool operator==(const LineSettings&) const = default;
};

// Parses a settings string of the form "9600,N,8,1".
LineSettings parseLineSettings(const std::string& text);

class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // False when the device is missing, busy or not a serial device.
    virtual bool open(int comNumber, const LineSettings& settings) = 0;
    // False when closing failed; the device counts as closed either way.
    virtual bool close() = 0;
    // Returns at once with at most `room` bytes already buffered (0 when none).
    virtual size_t read(uint8_t* buffer, size_t room) = 0;
    // Hands every byte to the driver before returning.
    virtual void write(const uint8_t* data, size_t count) = 0;
};

// Makes one device object per port slot.
class SerialDeviceFactory {
public:
    virtual ~SerialDeviceFactory() = default;
    virtual std::unique_ptr<SerialDevice> create() = 0;
};

} // namespace cv
