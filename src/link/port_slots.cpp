#include "link/port_slots.h"

#include <algorithm>

#include "base/text_format.h"

namespace cv {

const char* settingsStringOf(int settingsIndex) {
    static const auto strings = [] {
        std::array<std::string, kTopSpeedChoice + 1> texts;
        for (size_t i = 0; i < texts.size(); ++i) {
            const SpeedSetting& c = kSpeedChoiceSettings[i];
            // "OFF" has no line of its own: a port is opened at 9600 before a speed is chosen.
            texts[i] = format("%d,%c,%d,1", i == 0 ? 9600 : c.baud, c.parity == 2 ? 'E' : 'N', c.dataBits);
        }
        return texts;
    }();
    if (settingsIndex < 1 || settingsIndex > kTopSpeedChoice) settingsIndex = 0;
    return strings[size_t(settingsIndex)].c_str();
}

int settingsIndexOfChoice(int speedChoice, int current) {
    if (speedChoice == 0) return current;
    if (speedChoice < 0 || speedChoice > kTopSpeedChoice) return 6;
    return speedChoice;
}

int settingsIndexOfBaud(int baud, int dataBits, int current) { return speedChoiceOfLine(baud, dataBits, current); }

std::string comDeviceName(int comNumber) {
    if (comNumber < 1 || comNumber > kMaxComNumber) return "COMX";
    if (comNumber >= 9) return format("\\\\.\\COM%d", comNumber);
    return format("COM%d", comNumber);
}

PortSlotTable::PortSlotTable(SerialDeviceFactory& factory, OperatorDialogs& dialogs)
    : m_factory(factory), m_dialogs(dialogs) {}

PortSlotTable::~PortSlotTable() {
    for (auto& s : m_slots)
        if (s.device && s.comNumber) s.device->close();
}

int PortSlotTable::openPortSlot(int slot, int comNumber, int speedChoice) {
    if (!valid(slot)) return 0;
    closePortSlot(slot);
    Slot& s = m_slots[size_t(slot)];
    s.lostSeconds = 0;
    s.settingsIndex = settingsIndexOfChoice(speedChoice, s.settingsIndex);
    if (speedChoice == 0) return 0;
    if (comNumber < 1 || comNumber > kMaxComNumber) return 0;
    if (!s.device) {
        s.device = m_factory.create();
        if (s.dataReady) s.device->setDataReady(s.dataReady);
    }
    if (!s.device->open(comNumber, parseLineSettings(settingsStringOf(s.settingsIndex)))) {
        s.comNumber = 0;
        // Not waited for: an auto-baud step of the one-second tick opens ports too.
        const std::string device = s.device->deviceName(comNumber);
        const std::string named = device.empty() ? std::string() : " (" + device + ")";
        m_dialogs.inform(format("Could Not Open COM%1d", comNumber),
                         format("COM%1d%s may already be assigned or may not exist", comNumber, named.c_str()),
                         Icon::None);
        return speedChoice;
    }
    s.comNumber = comNumber;
    return speedChoice;
}

void PortSlotTable::setDataReadyHandler(int slot, std::function<void()> handler) {
    if (!valid(slot)) return;
    Slot& s = m_slots[size_t(slot)];
    s.dataReady = std::move(handler);
    if (s.device) s.device->setDataReady(s.dataReady);
}

void PortSlotTable::closePortSlot(int slot) {
    if (!valid(slot)) return;
    Slot& s = m_slots[size_t(slot)];
    if (!s.comNumber) return;
    s.comNumber = 0;  // counts as closed whatever the outcome
    if (s.device && !s.device->close())
        m_dialogs.inform("Comm Error", "Could Not Close Comm  Port", Icon::None);
}

void PortSlotTable::closeAll() {
    for (int i = 0; i < kPortSlots; ++i) closePortSlot(i);
}

bool PortSlotTable::writePort(int slot, const uint8_t* bytes, size_t count) {
    if (!isPortOpen(slot) || isPortLost(slot)) return false;
    if (count == 0) return true;
    return m_slots[size_t(slot)].device->write(bytes, count);
}

size_t PortSlotTable::writeWhatFits(int slot, const uint8_t* bytes, size_t count) {
    if (!isPortOpen(slot) || isPortLost(slot) || count == 0) return 0;
    SerialDevice& device = *m_slots[size_t(slot)].device;
    const size_t n = std::min(count, device.writeRoom());
    return n > 0 && device.write(bytes, n) ? n : 0;
}

size_t PortSlotTable::readPort(int slot, uint8_t* buffer, size_t room) {
    if (!isPortOpen(slot) || isPortLost(slot) || room == 0) return 0;
    return m_slots[size_t(slot)].device->read(buffer, room);
}

bool PortSlotTable::isPortOpen(int slot) const { return valid(slot) && m_slots[size_t(slot)].comNumber != 0; }

bool PortSlotTable::isPortLost(int slot) const {
    return isPortOpen(slot) && m_slots[size_t(slot)].device && m_slots[size_t(slot)].device->lost();
}

bool PortSlotTable::retryLostPort(int slot) {
    if (!isPortLost(slot)) return false;
    return m_slots[size_t(slot)].device->reopen();
}

bool PortSlotTable::retryLostPortWhenDue(int slot) {
    if (!isPortLost(slot)) {
        if (valid(slot)) m_slots[size_t(slot)].lostSeconds = 0;
        return false;
    }
    int& seconds = m_slots[size_t(slot)].lostSeconds;
    if (++seconds < kLostPortRetrySeconds) return false;
    seconds = 0;
    return retryLostPort(slot);
}

void PortSlotTable::setPortSpeed(int slot, int baud, int dataBits) {
    if (!valid(slot)) return;
    Slot& s = m_slots[size_t(slot)];
    s.settingsIndex = settingsIndexOfBaud(baud, dataBits, s.settingsIndex);
}

} // namespace cv
