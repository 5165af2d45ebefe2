#pragma once
// What the operator starts (buttons, menus, dialogs) goes out through here: when the logger
// port takes nothing (none chosen, its device lost, a write refused or cut short) the operator
// gets one box naming the port, and the caller learns that the command did not go out, so it
// does not carry on as if it had. Automatic traffic (time sync, acknowledgements) uses the
// plain sender and stays silent.
#include "protocol/commands.h"
#include "link/port_slots.h"
#include "ports/operator_dialogs.h"

namespace cv {

class OperatorCommandSender : public CommandSink {
public:
    OperatorCommandSender(CommandSink& line, const PortSlotTable& ports, WarningBox& warnings)
        : m_line(line), m_ports(ports), m_warnings(warnings) {}
    bool sendCommand(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0) override;
    bool sendBlock(const uint8_t* bytes, size_t length) override;
    bool sendRaw(const std::string& text) override;

    static constexpr const char* kNotSentTitle = "Nothing Sent to the Logger";

private:
    bool checked(bool sent);

    CommandSink& m_line;
    const PortSlotTable& m_ports;
    WarningBox& m_warnings;
};

// The box's text for the logger port as it stands.
std::string notSentText(const PortSlotTable& ports);

} // namespace cv
