#pragma once
#include <QSerialPort>

#include "link/port_map.h"
#include "ports/serial_device.h"

namespace cv {

class QtSerialDevice : public SerialDevice {
public:
    explicit QtSerialDevice(const PortMap& map);
    bool open(int comNumber, const LineSettings& settings) override;
    bool close() override;
    size_t read(uint8_t* buffer, size_t room) override;
    void write(const uint8_t* data, size_t count) override;
    // False once the device has gone away under an open slot (hang-up, adapter pulled).
    bool lineUp() const { return m_port.isOpen(); }

private:
    static constexpr int kHangUpCheckEvery = 100;  // quiet reads: half a second of 5 ms ticks
    bool hungUp();

    const PortMap& m_map;
    QSerialPort m_port;
    int m_quietReads = 0;
};

class QtSerialFactory : public SerialDeviceFactory {
public:
    explicit QtSerialFactory(const PortMap& map) : m_map(map) {}
    std::unique_ptr<SerialDevice> create() override { return std::make_unique<QtSerialDevice>(m_map); }

private:
    const PortMap& m_map;
};

} // namespace cv
