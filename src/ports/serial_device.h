#pragma once
// The one thing the host needs from a serial line: open by COM number with a line setting,
// read and write without waiting, close, and notice when the device goes away.
#include <cstddef>
#include <cstdint>
#include <functional>
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
    // The device a COM number stands for, so that a message can name what could not be opened;
    // empty when this kind of port has no other name.
    virtual std::string deviceName(int comNumber) const {
        (void)comNumber;
        return {};
    }
    // False when closing failed; the device counts as closed either way.
    virtual bool close() = 0;
    // Returns at once with at most `room` bytes already buffered (0 when none).
    virtual size_t read(uint8_t* buffer, size_t room) = 0;
    // Queues the whole buffer and returns at once; the device sends it as the line takes it, in
    // order. True only when all of it was queued; false, with nothing queued, when the device is
    // closed or lost, refuses the bytes or its queue has no room for all of them.
    virtual bool write(const uint8_t* data, size_t count) = 0;
    // How many more bytes the send queue takes now (the queue is bounded: a device that does not
    // drain must not grow it for ever).
    virtual size_t writeRoom() const { return SIZE_MAX; }
    // True once the device has gone away under an open slot (hang-up, adapter pulled, an error
    // of a vanished device). A lost device is closed at once: a USB adapter that comes back
    // while its old descriptor is still open gets a new name.
    virtual bool lost() const { return false; }
    // One attempt to open the same device again, with the line settings of the last successful
    // open. Silent and without waiting; true when it is back (then lost() is false again).
    virtual bool reopen() { return false; }
    // Called from the event loop when new bytes have arrived, for a reader that must not wait
    // for its next tick. A device that cannot tell never calls it; reading stays the tick's job.
    virtual void setDataReady(std::function<void()> handler) { (void)handler; }
};

// Makes one device object per port slot.
class SerialDeviceFactory {
public:
    virtual ~SerialDeviceFactory() = default;
    virtual std::unique_ptr<SerialDevice> create() = 0;
};

} // namespace cv
