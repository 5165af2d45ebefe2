#pragma once
#include "link/commands.h"
#include "link/port_slots.h"

namespace cv {

// Every packet to the logger goes out on slot 0 in one write; a closed port drops it silently.
class PortCommandSender : public CommandSink {
public:
    explicit PortCommandSender(PortSlotTable& ports) : m_ports(ports) {}
    void sendCommand(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0) override {
        const CommandPacket p = buildCommandPacket(code, arg16, arg32);
        m_ports.writePort(kLoggerSlot, p.data(), p.size());
    }
    void sendBlock(const uint8_t* bytes, size_t length) override { m_ports.writePort(kLoggerSlot, bytes, length); }
    void sendRaw(const std::string& text) override {
        m_ports.writePort(kLoggerSlot, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }

private:
    PortSlotTable& m_ports;
};

} // namespace cv
