#pragma once
// Test doubles of the ports: they record what was asked and answer from a script.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "protocol/commands.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
#include "ports/serial_device.h"

namespace cv::test {

// One simulated serial line. Shared state lets a test keep a handle after the slot owns it.
struct FakeLine {
    bool present = true;          // false: open fails like a missing device
    bool failClose = false;
    bool isOpen = false;
    int openCount = 0;
    int reopenTries = 0;          // attempts to bring a lost device back, failed ones too
    int comNumber = 0;
    LineSettings settings;
    bool vanished = false;        // pulled while open: the open device is lost until reopened
    bool refuseWrites = false;
    size_t writeRoom = SIZE_MAX;  // room in the send queue: a longer write is refused whole
    std::vector<uint8_t> input;   // bytes waiting to be read
    std::vector<std::vector<uint8_t>> writes;  // each write call, as issued
    std::vector<uint8_t> written() const;      // all writes joined
    void feed(const std::vector<uint8_t>& bytes) { input.insert(input.end(), bytes.begin(), bytes.end()); }
    // An adapter pulled and plugged in again.
    void unplug() {
        vanished = isOpen;
        present = isOpen = false;
    }
    void plugIn() { present = true; }
};

class FakeSerialDevice : public SerialDevice {
public:
    explicit FakeSerialDevice(std::function<std::shared_ptr<FakeLine>(int)> lineFor) : m_lineFor(std::move(lineFor)) {}
    bool open(int comNumber, const LineSettings& settings) override;
    bool close() override;
    size_t read(uint8_t* buffer, size_t room) override;
    bool write(const uint8_t* data, size_t count) override;
    size_t writeRoom() const override { return m_line ? m_line->writeRoom : 0; }
    bool lost() const override { return m_line && m_line->vanished; }
    bool reopen() override;

private:
    std::function<std::shared_ptr<FakeLine>(int)> m_lineFor;
    std::shared_ptr<FakeLine> m_line;
    LineSettings m_settings;  // of the last successful open
};

// Hands out devices whose lines are looked up by COM number (created on first use).
class FakeSerialFactory : public SerialDeviceFactory {
public:
    std::unique_ptr<SerialDevice> create() override;
    std::shared_ptr<FakeLine> line(int comNumber);

private:
    std::map<int, std::shared_ptr<FakeLine>> m_lines;
};

// A clock the test sets by hand. Local time is UTC shifted by `offsetWestSeconds` and, when
// `dst` is set, an hour more.
class FakeClock : public HostClock {
public:
    int64_t seconds = 1700000000;
    long offsetWestSeconds = 0;
    bool dst = false;
    int hundredthsValue = 0;
    uint32_t ms = 0;
    int64_t now() override { return seconds; }
    std::tm localTime(int64_t s) override;
    int64_t fromLocalTime(std::tm fields) override;
    long offsetWest() override { return offsetWestSeconds; }
    int hundredths() override { return hundredthsValue; }
    uint32_t elapsedMs() override { return ms; }
};

// Records every box and beep; answers questions from a queue (default: the first button).
class FakeDialogs : public OperatorDialogs {
public:
    struct Box {
        std::string caption, text;
        Buttons buttons;
        Icon icon;
        std::optional<Answer> defaultAnswer;  // the button Enter presses, when the asker chose one
    };
    std::vector<Box> boxes;
    std::vector<Icon> beeps;
    std::deque<Answer> answers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileChoice> fileChoices;
    // Run inside ask(), as a modal box's message loop would run timer ticks.
    std::function<void()> whileOpen;

    void beep(Icon kind) override { beeps.push_back(kind); }
    Answer ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) override;
    Answer ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
               Answer defaultAnswer) override;
    std::optional<std::string> chooseSaveFile(const FileChoice& choice) override;
    std::optional<std::string> chooseOpenFile(const FileChoice& choice) override;
    bool saw(const std::string& caption, const std::string& text) const;
};

// Every packet, block and raw text sent, one write each, in order.
class RecordingSink : public CommandSink {
public:
    std::vector<std::vector<uint8_t>> writes;
    bool accept = true;  // false: the port takes nothing, as a closed or lost one
    bool sendCommand(uint16_t code, uint16_t arg16, uint32_t arg32) override;
    bool sendBlock(const uint8_t* bytes, size_t length) override;
    bool sendRaw(const std::string& text) override;
    std::vector<uint8_t> joined() const;
};

std::vector<uint8_t> bytesOf(const std::string& hex);  // "02 02 A1 A1" -> bytes
std::vector<uint8_t> textBytes(const std::string& s);  // the characters as they stand
// The program's own command packet as bytes (the sim tests build theirs independently).
std::vector<uint8_t> packetBytes(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0);

} // namespace cv::test
