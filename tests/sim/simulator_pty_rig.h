#pragma once
// The simulated logger started on a pseudo-terminal, with the host's end of the line opened as a
// LoggerLine, for the simulator's own tests.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simulator.h"
#include "support/fakes.h"
#include "support/logger_line.h"

namespace cv::test {

using namespace std::chrono_literals;
inline constexpr auto kDeadline = 5s;

// Status record fields.
inline int16_t statusState(const LoggerPacket& p) { return le16s(p.bytes, 4); }
inline int16_t statusRun(const LoggerPacket& p) { return le16s(p.bytes, 6); }
inline int32_t statusClock(const LoggerPacket& p) { return int32_t(le32(p.bytes, 8)); }
inline uint32_t statusTimeLeft(const LoggerPacket& p) { return le32(p.bytes, 12); }
inline int16_t statusLoggerId(const LoggerPacket& p) { return le16s(p.bytes, 20); }
inline uint16_t statusSerialMask(const LoggerPacket& p) { return le16(p.bytes, 22); }
inline int16_t statusPortRate(const LoggerPacket& p, int port) { return le16s(p.bytes, 28 + 2 * size_t(port)); }

inline Kr8SimOptions fastOptions() {
    Kr8SimOptions o;
    o.statusInterval = 200ms;
    o.streamInterval = 200ms;
    o.ackTimeout = 150ms;
    o.clearMemoryTime = 300ms;
    o.seed = 42;
    return o;
}

class SimulatorOverPty : public ::testing::Test {
protected:
    void start(Kr8SimOptions options = fastOptions()) {
        sim = std::make_unique<Kr8Simulator>(std::move(options));
        const std::string path = sim->line().startPty();
        line = std::make_unique<LoggerLine>(path);
        ASSERT_TRUE(sim->line().waitForConnection(kDeadline));
    }
    std::optional<LoggerPacket> statusWhere(const std::function<bool(const LoggerPacket&)>& pred) {
        return line->next([&](const LoggerPacket& p) { return p.type == 3 && pred(p); }, kDeadline);
    }
    std::vector<uint8_t> getSetup() {
        line->write(bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
        auto setup = line->nextOfType(1);
        return setup ? setup->bytes : std::vector<uint8_t>{};
    }
    void TearDown() override {
        line.reset();
        sim.reset();
    }

    std::unique_ptr<Kr8Simulator> sim;
    std::unique_ptr<LoggerLine> line;
};

} // namespace cv::test
