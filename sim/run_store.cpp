#include "run_store.h"

#include <fstream>
#include <iterator>

#include "base/bytes.h"
#include "base/logger_codes.h"
#include "run_file_format.h"

namespace cv::sim {

void RunStore::put(SimRun run) {
    run.info.size = uint32_t(run.bytes.size());
    const int16_t number = run.info.runNumber;
    m_runs[number] = std::move(run);
}

const SimRun* RunStore::find(int16_t runNumber) const {
    auto it = m_runs.find(runNumber);
    return it == m_runs.end() ? nullptr : &it->second;
}

std::vector<int16_t> RunStore::numbers() const {
    std::vector<int16_t> out;
    for (const auto& [number, run] : m_runs) out.push_back(number);
    return out;
}

std::vector<const SimRun*> RunStore::runs() const {
    std::vector<const SimRun*> out;
    for (const auto& [number, run] : m_runs) out.push_back(&run);
    return out;
}

uint64_t RunStore::usedBytes() const {
    uint64_t sum = 0;
    for (const auto& [number, run] : m_runs) sum += run.bytes.size();
    return sum;
}

int16_t RunStore::nextRunNumber() const {
    if (m_runs.empty()) return 1;
    const int highest = m_runs.rbegin()->first;
    return int16_t(highest < 32767 ? highest + 1 : 32767);
}

namespace {

constexpr size_t kSummaryFieldsUsed = runfile::summary::kFinalMv + 2;

int16_t be16(const uint8_t* p) { return int16_t(getU16be(p)); }

} // namespace

RunInfo runInfoFromRunFile(int16_t runNumber, const std::vector<uint8_t>& bytes, const RunInfo& fallback) {
    RunInfo info = fallback;
    info.runNumber = runNumber;
    info.size = uint32_t(bytes.size());
    size_t pos = 0;
    while (pos + 4 <= bytes.size()) {
        const int size = getI16le(&bytes[pos]);
        const int type = getI16le(&bytes[pos + 2]);
        // not a run file we can walk
        if (size < 1 || size_t(size) > runfile::kMaxPayload || type < 1 || type > runfile::kHighestType) break;
        const uint8_t* payload = &bytes[pos + runfile::kRecordHeaderLength];
        const size_t available = bytes.size() - pos - runfile::kRecordHeaderLength;
        if (type == runfile::kSummary && size_t(size) >= kSummaryFieldsUsed && available >= kSummaryFieldsUsed) {
            namespace at = runfile::summary;
            info.mode = be16(payload + at::kMode);
            for (int k = 0; k < kLoggerSerialPorts; ++k) info.portTypes[k] = be16(payload + at::kPortType + 2 * (k + 1));
            for (int k = 0; k < kAnalogChannels; ++k) info.analogUse[k] = be16(payload + at::kAnalog + 2 * k);
            for (int k = 0; k < kPumps; ++k) info.pumps[k] = be16(payload + at::kPump + 2 * k) > 0 ? 1 : 0;
            info.startTime = getU32be(payload + at::kStartTime);
            info.startMv = be16(payload + at::kStartMv);
            info.endMv = be16(payload + at::kFinalMv);
            break;
        }
        pos += runfile::kRecordHeaderLength + size_t(size);
    }
    return info;
}

bool readRunFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open run file " + path.string();
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read run file " + path.string();
        return false;
    }
    return true;
}

} // namespace cv::sim
