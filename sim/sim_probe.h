#pragma once
// What tests see of the simulated logger and set on it: the log of everything the host sent, the
// setups it sent, the mux packets that went out, the counters, the faults, and waits with a
// deadline on all of these. Every public call is thread-safe.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim_core.h"

namespace cv {

std::string commandName(uint16_t code);
std::string describe(const Kr8SimReceived& item);

namespace sim {

class SimProbe {
public:
    explicit SimProbe(SimCore& core) : m_core(core) {}

    Kr8SimFaults faults() const;
    void setFaults(const Kr8SimFaults& faults);
    Kr8SimStats stats() const;

    // What the host sent, oldest first.
    std::vector<Kr8SimReceived> received() const;
    std::vector<Kr8SimReceived> receivedCommands(std::optional<uint16_t> code = std::nullopt) const;
    std::vector<Kr8SimReceived> receivedBlocks(uint8_t type) const;
    std::vector<std::string> receivedTexts() const;
    std::vector<SetupRecord> receivedSetups() const;  // every checksum-valid setup block
    void clearReceived();

    // Mux packets that went out while sampling, oldest first, duplicates included; bytes lost to
    // a full backlog, a silent or garbling line or an absent host are not in it.
    std::vector<SentMuxPacket> sentMuxPackets() const;
    void clearSentMuxPackets();

    // Waits, each up to its timeout. The command and block waits return the nth (1-based) item of
    // that code or type in the log.
    std::optional<Kr8SimReceived> waitForCommand(uint16_t code, std::chrono::milliseconds timeout, size_t nth = 1);
    std::optional<Kr8SimReceived> waitForBlock(uint8_t type, std::chrono::milliseconds timeout, size_t nth = 1);
    bool waitForText(const std::string& part, std::chrono::milliseconds timeout);
    // Re-evaluates pred after every change the simulator makes; pred may call the getters.
    bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

    // Under the lock, as the logger hears and sends.
    void heardLocked(const Kr8SimReceived& in);
    void setupReceivedLocked(const SetupRecord& setup);
    void muxSentLocked(const SentMuxPacket& sent);
    // Takes what the option callbacks get, under the lock; hands it to them without it.
    void takeHandOversLocked();
    void handOver();

private:
    SimCore& m_core;
    std::vector<Kr8SimReceived> m_log;
    std::vector<SetupRecord> m_setups;
    std::vector<SentMuxPacket> m_sent;
    std::vector<std::string> m_pendingLogLines;
    std::vector<SentMuxPacket> m_pendingSent;
    std::vector<std::string> m_logLinesToHand;
    std::vector<SentMuxPacket> m_sentToHand;
};

} // namespace sim
} // namespace cv
