#pragma once
#include <QSerialPort>

#include "link/port_map.h"
#include "ports/serial_device.h"

namespace cv {

class QtSerialDevice : public SerialDevice {
public:
    explicit QtSerialDevice(const PortMap& map) : m_map(map) {}
    bool open(int comNumber, const LineSettings& settings) override;
    bool close() override;
    size_t read(uint8_t* buffer, size_t room) override;
    void write(const uint8_t* data, size_t count) override;

private:
    const PortMap& m_map;
    QSerialPort m_port;
};

class QtSerialFactory : public SerialDeviceFactory {
public:
    explicit QtSerialFactory(const PortMap& map) : m_map(map) {}
    std::unique_ptr<SerialDevice> create() override { return std::make_unique<QtSerialDevice>(m_map); }

private:
    const PortMap& m_map;
};

} // namespace cv
