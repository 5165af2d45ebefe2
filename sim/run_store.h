#pragma once
// The runs in the simulated logger's flash memory: each run file's bytes and what the
// directory reports about it.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sim_records.h"

namespace cv::sim {

struct SimRun {
    RunInfo info;
    std::vector<uint8_t> bytes;
};

class RunStore {
public:
    void put(SimRun run);  // replaces a run of the same number; the size follows the bytes
    const SimRun* find(int16_t runNumber) const;
    std::vector<int16_t> numbers() const;  // ascending
    std::vector<const SimRun*> runs() const;
    void clear() { m_runs.clear(); }
    size_t count() const { return m_runs.size(); }
    uint64_t usedBytes() const;
    int16_t nextRunNumber() const;  // one past the highest, 1 for an empty memory

private:
    std::map<int16_t, SimRun> m_runs;
};

// Fills what the directory shows from the run file's Summary record; whatever the file does not
// tell comes from the fallback. The size is always the file's.
RunInfo runInfoFromRunFile(int16_t runNumber, const std::vector<uint8_t>& bytes, const RunInfo& fallback);

// Reads a whole run file; false with a message when it cannot be read.
bool readRunFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, std::string& error);

} // namespace cv::sim
