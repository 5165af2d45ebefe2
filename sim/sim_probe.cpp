#include "sim_probe.h"

#include <cstdio>

#include "protocol/commands.h"

namespace cv {

namespace {

std::string hex16(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string printable(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F) {
            out += char(b);
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else {
            char text[8];
            std::snprintf(text, sizeof text, "\\x%02X", b);
            out += text;
        }
    }
    return out;
}

// Drops the older half of a log that reached its limit (0: no limit).
template <class T>
void keepWithin(std::vector<T>& log, size_t limit) {
    if (limit > 0 && log.size() >= limit) log.erase(log.begin(), log.begin() + long(log.size() / 2 + 1));
}

} // namespace

std::string commandName(uint16_t code) {
    switch (code) {
    case cmd::kStop: return "stop";
    case cmd::kBegin: return "begin";
    case cmd::kLoadHardwareDefaults: return "load-hardware-defaults";
    case cmd::kSetMuxId: return "set-mux-id";
    case cmd::kSleepUntil: return "sleep-until";
    case cmd::kGetHardware: return "get-hardware";
    case cmd::kBlockAck: return "block-ack";
    case cmd::kGetSetup: return "get-setup";
    case cmd::kGetAnalog: return "get-analog";
    case cmd::kSetTime: return "set-time";
    case cmd::kLoadDefaultSetup: return "load-default-setup";
    case cmd::kSwitchToRs232: return "switch-to-rs232";
    case cmd::kSwitchToRs422: return "switch-to-rs422";
    case cmd::kResetToMonitor: return "reset-to-monitor";
    case cmd::kGetDirectory: return "get-directory";
    case cmd::kUploadRequest: return "upload-request";
    case cmd::kClearMemory: return "clear-memory";
    default: return "unknown-command";
    }
}

std::string describe(const Kr8SimReceived& item) {
    switch (item.kind) {
    case Kr8SimReceived::Kind::Command:
        return "command " + commandName(item.code) + " (" + hex16(item.code) + ") arg32=" + std::to_string(item.arg32) +
               " arg16=" + std::to_string(item.arg16);
    case Kr8SimReceived::Kind::Block: {
        static const char* const names[] = {"", "setup", "", "", "", "", "analog", "hardware", "", "", "port-test"};
        const char* name = item.blockType < 11 ? names[item.blockType] : "";
        return std::string("block ") + name + " (type " + std::to_string(item.blockType) + ", " +
               std::to_string(item.bytes.size()) + " bytes)";
    }
    case Kr8SimReceived::Kind::Text: return "text \"" + printable(item.bytes) + "\"";
    }
    return {};
}

namespace sim {

Kr8SimFaults SimProbe::faults() const { return m_core.locked(m_core.faults); }

void SimProbe::setFaults(const Kr8SimFaults& faults) { m_core.setLocked(m_core.faults, faults); }

Kr8SimStats SimProbe::stats() const { return m_core.locked(m_core.stats); }

std::vector<Kr8SimReceived> SimProbe::received() const { return m_core.locked(m_log); }

std::vector<Kr8SimReceived> SimProbe::receivedCommands(std::optional<uint16_t> code) const {
    std::lock_guard lock(m_core.mutex());
    std::vector<Kr8SimReceived> out;
    for (const auto& item : m_log)
        if (item.kind == Kr8SimReceived::Kind::Command && (!code || item.code == *code)) out.push_back(item);
    return out;
}

std::vector<Kr8SimReceived> SimProbe::receivedBlocks(uint8_t type) const {
    std::lock_guard lock(m_core.mutex());
    std::vector<Kr8SimReceived> out;
    for (const auto& item : m_log)
        if (item.kind == Kr8SimReceived::Kind::Block && item.blockType == type) out.push_back(item);
    return out;
}

std::vector<std::string> SimProbe::receivedTexts() const {
    std::lock_guard lock(m_core.mutex());
    std::vector<std::string> out;
    for (const auto& item : m_log)
        if (item.kind == Kr8SimReceived::Kind::Text) out.push_back(item.text());
    return out;
}

std::vector<SetupRecord> SimProbe::receivedSetups() const { return m_core.locked(m_setups); }

void SimProbe::clearReceived() {
    std::lock_guard lock(m_core.mutex());
    m_log.clear();
    m_setups.clear();
}

std::vector<SentMuxPacket> SimProbe::sentMuxPackets() const { return m_core.locked(m_sent); }

void SimProbe::clearSentMuxPackets() {
    std::lock_guard lock(m_core.mutex());
    m_sent.clear();
}

bool SimProbe::waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    return m_core.waitUntil(pred, timeout);
}

std::optional<Kr8SimReceived> SimProbe::waitForCommand(uint16_t code, std::chrono::milliseconds timeout, size_t nth) {
    std::optional<Kr8SimReceived> found;
    waitUntil(
        [&] {
            const auto commands = receivedCommands(code);
            if (commands.size() < nth || nth == 0) return false;
            found = commands[nth - 1];
            return true;
        },
        timeout);
    return found;
}

std::optional<Kr8SimReceived> SimProbe::waitForBlock(uint8_t type, std::chrono::milliseconds timeout, size_t nth) {
    std::optional<Kr8SimReceived> found;
    waitUntil(
        [&] {
            const auto blocks = receivedBlocks(type);
            if (blocks.size() < nth || nth == 0) return false;
            found = blocks[nth - 1];
            return true;
        },
        timeout);
    return found;
}

bool SimProbe::waitForText(const std::string& part, std::chrono::milliseconds timeout) {
    return waitUntil(
        [&] {
            for (const std::string& text : receivedTexts())
                if (text.find(part) != std::string::npos) return true;
            return false;
        },
        timeout);
}

void SimProbe::heardLocked(const Kr8SimReceived& in) {
    keepWithin(m_log, m_core.options.logLimit);
    m_log.push_back(in);
    if (m_core.options.logSink) m_pendingLogLines.push_back(describe(in));
}

void SimProbe::setupReceivedLocked(const SetupRecord& setup) {
    keepWithin(m_setups, m_core.options.logLimit);
    m_setups.push_back(setup);
}

void SimProbe::muxSentLocked(const SentMuxPacket& sent) {
    keepWithin(m_sent, m_core.options.logLimit);
    m_sent.push_back(sent);
    if (m_core.options.sentSink) m_pendingSent.push_back(sent);
}

void SimProbe::takeHandOversLocked() {
    m_logLinesToHand.swap(m_pendingLogLines);
    m_sentToHand.swap(m_pendingSent);
}

void SimProbe::handOver() {
    if (m_core.options.logSink)
        for (const std::string& text : m_logLinesToHand) m_core.options.logSink(text);
    if (m_core.options.sentSink)
        for (const SentMuxPacket& packet : m_sentToHand) m_core.options.sentSink(packet);
    m_logLinesToHand.clear();
    m_sentToHand.clear();
}

} // namespace sim
} // namespace cv
