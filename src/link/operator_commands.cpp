#include "link/operator_commands.h"

#include "base/text_format.h"

namespace cv {

std::string notSentText(const PortSlotTable& ports) {
    const int com = ports.openComNumber(kLoggerSlot);
    if (!ports.isPortOpen(kLoggerSlot) || com == 0)
        return "No logger port is open, so nothing was sent to the logger.\n\n"
               "Choose the logger port and its speed under Logger Port Setup.";
    if (ports.isPortLost(kLoggerSlot))
        return format("COM%d has gone away, so nothing was sent to the logger.\n\n"
                      "The port is opened again as soon as the device comes back.",
                      com);
    return format("COM%d did not take the whole command, so the logger did not get it.", com);
}

bool OperatorCommandSender::checked(bool sent) {
    if (!sent) m_warnings.show(kNotSentTitle, notSentText(m_ports));
    return sent;
}

bool OperatorCommandSender::sendCommand(uint16_t code, uint16_t arg16, uint32_t arg32) {
    return checked(m_line.sendCommand(code, arg16, arg32));
}

bool OperatorCommandSender::sendBlock(const uint8_t* bytes, size_t length) {
    return checked(m_line.sendBlock(bytes, length));
}

bool OperatorCommandSender::sendRaw(const std::string& text) { return checked(m_line.sendRaw(text)); }

} // namespace cv
