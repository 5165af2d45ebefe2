#pragma once
#include "protocol/commands.h"
#include "link/port_slots.h"

namespace cv {

// Every packet to the logger goes out on slot 0 in one write. The result tells whether it went
// out (false for a closed or lost port, a refused or short write); nothing is reported here.
class PortCommandSender : public CommandSink {
public:
    explicit PortCommandSender(PortSlotTable& ports) : m_ports(ports) {}
    bool sendCommand(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0) override {
        const CommandPacket p = buildCommandPacket(code, arg16, arg32);
        return m_ports.writePort(kLoggerSlot, p.data(), p.size());
    }
    bool sendBlock(const uint8_t* bytes, size_t length) override {
        return m_ports.writePort(kLoggerSlot, bytes, length);
    }
    bool sendRaw(const std::string& text) override {
        return m_ports.writePort(kLoggerSlot, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }

private:
    PortSlotTable& m_ports;
};

} // namespace cv
