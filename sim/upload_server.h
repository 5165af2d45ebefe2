#pragma once
// The runs in the simulated logger's memory and how it serves them: the directory, and the upload
// one block at a time, each block waiting for its acknowledgement and repeated when none comes.
// Public calls are thread-safe; the Locked ones are for the simulator's other parts.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host_input.h"
#include "run_store.h"
#include "sim_core.h"

namespace cv::sim {

class SimLine;
class SimLogger;

class UploadServer {
public:
    UploadServer(SimCore& core, SimLine& line, SimLogger& logger) : m_core(core), m_line(line), m_logger(logger) {}

    void addRun(int16_t runNumber, std::vector<uint8_t> bytes);
    bool addRunFile(int16_t runNumber, const std::filesystem::path& path, std::string* error = nullptr);
    std::vector<int16_t> generateRuns(int count, uint32_t seed);  // returns the new run numbers
    std::vector<int16_t> runNumbers() const;
    std::optional<std::vector<uint8_t>> runBytes(int16_t runNumber) const;
    std::optional<RunInfo> runInfo(int16_t runNumber) const;
    void clearRuns();

    // Under the lock, for the logger.
    RunStore& storeLocked() { return m_store; }
    const RunStore& storeLocked() const { return m_store; }
    void sendDirectoryLocked();
    void startUploadLocked(int16_t runNumber);
    void acknowledgedLocked(const HostInput& ack);
    void tickLocked(SimClock::time_point now);
    void dropUploadLocked() { m_upload.active = false; }

private:
    struct Upload {
        bool active = false;
        int16_t runNumber = 0;
        std::vector<uint8_t> bytes;
        size_t offset = 0;
        size_t count = 0;
        uint16_t blockNumber = 0;
        int repeats = 0;
        bool flushed = false;
        uint64_t marker = 0;
        SimClock::time_point sentAt{};
        int16_t stateBefore = state::kStandby;
    };

    void sendBlock(bool repeat);
    void finishUpload();

    SimCore& m_core;
    SimLine& m_line;
    SimLogger& m_logger;
    RunStore m_store;
    Upload m_upload;
    uint16_t m_nextBlockNumber = 1;
};

} // namespace cv::sim
