#pragma once
#include <QSerialPort>

#include "link/port_map.h"
#include "ports/device_lock.h"
#include "ports/serial_device.h"

namespace cv {

class QtSerialDevice : public SerialDevice {
public:
    // Several seconds at 115200 baud each way, and more than a tick or a PC logger interval
    // takes at once. Input beyond the read bound waits in the driver (whose own buffer is
    // bounded); output beyond the send bound is refused.
    static constexpr size_t kReadBufferBytes = 64 * 1024;
    static constexpr size_t kWriteQueueBytes = 64 * 1024;

    explicit QtSerialDevice(const PortMap& map);
    bool open(int comNumber, const LineSettings& settings) override;
    bool close() override;
    size_t read(uint8_t* buffer, size_t room) override;
    bool write(const uint8_t* data, size_t count) override;
    size_t writeRoom() const override;
    bool lost() const override { return m_lost; }
    bool reopen() override;
    std::string deviceName(int comNumber) const override { return m_map.deviceFor(comNumber); }
    void setDataReady(std::function<void()> handler) override { m_dataReady = std::move(handler); }
    // The last open failed because another program holds the device.
    bool taken() const { return m_lock.taken(); }

private:
    bool hungUp() const;
    void markLost();
    void handOverQueued();
    bool driverHasRoom() const;

    const PortMap& m_map;
    QSerialPort m_port;
    // What the last successful open asked for: a lost device comes back the same way, its
    // COM number resolved through the port map again (a by-id link may point elsewhere now).
    int m_comNumber = 0;
    LineSettings m_settings;
    bool m_lost = false;
    std::function<void()> m_dataReady;
    // Kept while the device is lost, so that nobody else takes the port meanwhile.
    DeviceLock m_lock;
};

class QtSerialFactory : public SerialDeviceFactory {
public:
    explicit QtSerialFactory(const PortMap& map) : m_map(map) {}
    std::unique_ptr<SerialDevice> create() override { return std::make_unique<QtSerialDevice>(m_map); }

private:
    const PortMap& m_map;
};

} // namespace cv
