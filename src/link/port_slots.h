#pragma once
// The fixed table of 20 serial port slots: 0 is the logger port, 1..8 the PC logger ports,
// 9..19 spare. Only openPortSlot opens, and it always closes first.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "ports/operator_dialogs.h"
#include "protocol/speed_choices.h"
#include "ports/serial_device.h"

namespace cv {

constexpr int kPortSlots = 20;
constexpr int kLoggerSlot = 0;
constexpr int kPcLoggerPorts = 8;  // slots 1..8
constexpr int kMaxComNumber = 12;
// A lost device is tried again this often, the logger port's and the PC logger ports' alike.
constexpr int kLostPortRetrySeconds = 2;

// Settings string of a port settings index (1..11; anything else is 9600,N,8,1).
const char* settingsStringOf(int settingsIndex);
// Port settings index of a speed choice (1..11; above 11 is 6; 0 keeps `current`).
int settingsIndexOfChoice(int speedChoice, int current);
// The set-speed rule: baud and data bits to a settings index, or `current` for an unknown baud.
int settingsIndexOfBaud(int baud, int dataBits, int current);
// Device name of a COM number as the platform knows it ("COM8", "\\.\COM10").
std::string comDeviceName(int comNumber);

class PortSlotTable {
public:
    PortSlotTable(SerialDeviceFactory& factory, OperatorDialogs& dialogs);
    ~PortSlotTable();

    // Returns the speed choice (also when opening failed: isOpen tells); 0 leaves the slot closed.
    int openPortSlot(int slot, int comNumber, int speedChoice);
    void closePortSlot(int slot);
    void closeAll();
    // Queues the bytes whole and returns at once: true when all of them were queued; false, with
    // nothing queued, for a closed slot, a lost device, a refused write or a queue without room
    // for all of them. Nothing is reported here: the caller knows what the bytes meant.
    bool writePort(int slot, const uint8_t* bytes, size_t count);
    // Queues as many of the bytes as the queue has room for, from the front, and returns how
    // many; the rest is the caller's to drop. For streams that may lose bytes but not stall.
    size_t writeWhatFits(int slot, const uint8_t* bytes, size_t count);
    // Nothing while the slot's device is lost.
    size_t readPort(int slot, uint8_t* buffer, size_t room);
    // A lost slot still counts as open: it keeps its COM number and settings until the operator
    // chooses another port or none.
    bool isPortOpen(int slot) const;
    bool isPortLost(int slot) const;
    // One silent attempt to bring a lost slot's device back; true when it came back.
    bool retryLostPort(int slot);
    // Called once a second for a slot: while its device is lost, retryLostPort every
    // kLostPortRetrySeconds, the first attempt that many seconds after the loss was first seen
    // here. True when the device came back on this call.
    bool retryLostPortWhenDue(int slot);
    void setPortSpeed(int slot, int baud, int dataBits);
    // Called when the slot's device has new bytes (see SerialDevice::setDataReady); kept for
    // the slot's device whenever it is made.
    void setDataReadyHandler(int slot, std::function<void()> handler);

    int openComNumber(int slot) const { return valid(slot) ? m_slots[size_t(slot)].comNumber : 0; }
    int settingsIndex(int slot) const { return valid(slot) ? m_slots[size_t(slot)].settingsIndex : 6; }

private:
    struct Slot {
        std::unique_ptr<SerialDevice> device;
        int comNumber = 0;
        int settingsIndex = 6;
        int lostSeconds = 0;  // seconds seen lost since the last attempt
        std::function<void()> dataReady;
    };
    static bool valid(int slot) { return slot >= 0 && slot < kPortSlots; }

    SerialDeviceFactory& m_factory;
    OperatorDialogs& m_dialogs;
    std::array<Slot, kPortSlots> m_slots;
};

} // namespace cv
