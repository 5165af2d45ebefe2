#include "support/fakes.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace cv::test {

std::vector<uint8_t> FakeLine::written() const {
    std::vector<uint8_t> all;
    for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
}

bool FakeSerialDevice::open(int comNumber, const LineSettings& settings) {
    auto line = m_lineFor(comNumber);
    if (!line || !line->present || line->isOpen) return false;
    line->isOpen = true;
    line->openCount++;
    line->comNumber = comNumber;
    line->settings = settings;
    m_line = line;
    m_settings = settings;
    return true;
}

bool FakeSerialDevice::close() {
    if (!m_line) return true;
    m_line->isOpen = false;
    m_line->vanished = false;
    bool ok = !m_line->failClose;
    m_line.reset();
    return ok;
}

bool FakeSerialDevice::reopen() {
    if (!lost()) return false;
    m_line->reopenTries++;
    if (!m_line->present) return false;
    m_line->vanished = false;
    m_line->isOpen = true;
    m_line->openCount++;
    m_line->settings = m_settings;
    return true;
}

size_t FakeSerialDevice::read(uint8_t* buffer, size_t room) {
    if (!m_line || lost()) return 0;
    size_t n = std::min(room, m_line->input.size());
    if (n) std::memcpy(buffer, m_line->input.data(), n);
    m_line->input.erase(m_line->input.begin(), m_line->input.begin() + long(n));
    return n;
}

bool FakeSerialDevice::write(const uint8_t* data, size_t count) {
    if (!m_line || lost() || m_line->refuseWrites || count > m_line->writeRoom) return false;
    m_line->writes.emplace_back(data, data + count);
    return true;
}

std::unique_ptr<SerialDevice> FakeSerialFactory::create() {
    return std::make_unique<FakeSerialDevice>([this](int com) { return line(com); });
}

std::shared_ptr<FakeLine> FakeSerialFactory::line(int comNumber) {
    auto& l = m_lines[comNumber];
    if (!l) l = std::make_shared<FakeLine>();
    return l;
}

std::tm FakeClock::localTime(int64_t s) {
    std::time_t t = std::time_t(s - offsetWestSeconds + (dst ? 3600 : 0));
    std::tm tm{};
    gmtime_r(&t, &tm);
    tm.tm_isdst = dst ? 1 : 0;
    return tm;
}

int64_t FakeClock::fromLocalTime(std::tm fields) {
    fields.tm_isdst = 0;
    return int64_t(timegm(&fields)) + offsetWestSeconds - (dst ? 3600 : 0);
}

Answer FakeDialogs::ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                        Answer defaultAnswer) {
    // Boxes asked while this one is open come after it.
    const size_t at = boxes.size();
    const Answer answer = ask(caption, text, buttons, icon);
    boxes[at].defaultAnswer = defaultAnswer;
    return answer;
}

Answer FakeDialogs::ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) {
    boxes.push_back({caption, text, buttons, icon, std::nullopt});
    if (whileOpen) whileOpen();
    if (!answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    default: return Answer::Yes;
    }
}

std::optional<std::string> FakeDialogs::chooseSaveFile(const FileChoice& choice) {
    fileChoices.push_back(choice);
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::optional<std::string> FakeDialogs::chooseOpenFile(const FileChoice& choice) {
    return chooseSaveFile(choice);
}

bool FakeDialogs::saw(const std::string& caption, const std::string& text) const {
    for (const auto& b : boxes)
        if (b.caption == caption && b.text == text) return true;
    return false;
}

std::vector<uint8_t> bytesOf(const std::string& hex) {
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    std::string tok;
    while (in >> tok) out.push_back(uint8_t(std::stoul(tok, nullptr, 16)));
    return out;
}

bool RecordingSink::sendCommand(uint16_t code, uint16_t arg16, uint32_t arg32) {
    const CommandPacket p = buildCommandPacket(code, arg16, arg32);
    if (accept) writes.emplace_back(p.begin(), p.end());
    return accept;
}
bool RecordingSink::sendBlock(const uint8_t* bytes, size_t length) {
    if (accept) writes.emplace_back(bytes, bytes + length);
    return accept;
}
bool RecordingSink::sendRaw(const std::string& text) {
    if (accept) writes.emplace_back(text.begin(), text.end());
    return accept;
}
std::vector<uint8_t> RecordingSink::joined() const {
    std::vector<uint8_t> all;
    for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
}

std::vector<uint8_t> textBytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> packetBytes(uint16_t code, uint16_t arg16, uint32_t arg32) {
    const CommandPacket p = buildCommandPacket(code, arg16, arg32);
    return {p.begin(), p.end()};
}

} // namespace cv::test
