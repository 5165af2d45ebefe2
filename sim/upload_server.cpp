#include "upload_server.h"

#include <algorithm>
#include <random>

#include "run_file_generator.h"
#include "sim_line.h"
#include "sim_logger.h"

namespace cv::sim {

namespace {
constexpr uint32_t kAckCancel = 2;  // the acknowledgement that asks the logger to stop the upload
} // namespace

void UploadServer::sendDirectoryLocked() {
    for (const SimRun* run : m_store.runs()) {
        const DirectoryRecord entry = buildDirectoryEntry(run->info);
        if (m_line.queue(entry.data(), entry.size(), Traffic::Reply)) ++m_core.stats.directoryEntriesSent;
    }
}

void UploadServer::startUploadLocked(int16_t runNumber) {
    if (m_core.faults.withheldFirstBlocks > 0) {
        --m_core.faults.withheldFirstBlocks;
        ++m_core.stats.firstBlocksWithheld;
        return;
    }
    const int16_t loggerState = m_logger.stateLocked();
    const int16_t stateBefore = m_upload.active ? m_upload.stateBefore : loggerState;
    m_upload = Upload{};
    m_upload.active = true;
    m_upload.runNumber = runNumber;
    if (const SimRun* run = m_store.find(runNumber)) m_upload.bytes = run->bytes;  // else: an empty file
    m_upload.stateBefore = stateBefore;
    if (loggerState != state::kSampling) m_logger.setStateLocked(state::kUpload);
    sendBlock(false);
}

void UploadServer::sendBlock(bool repeat) {
    Upload& u = m_upload;
    if (repeat) {
        ++u.repeats;
        ++m_core.stats.uploadBlocksRepeated;
    } else {
        u.repeats = 0;
        u.count = std::min(kUploadDataLength, u.bytes.size() - std::min(u.offset, u.bytes.size()));
        u.blockNumber = m_nextBlockNumber++;
        if (m_nextBlockNumber == 0) m_nextBlockNumber = 1;  // two runs in a row never share a number
    }
    UploadRecord block = buildUploadBlock(u.blockNumber, u.runNumber, u.count > 0 ? u.bytes.data() + u.offset : nullptr, u.count);
    if (m_core.chance(m_core.faults.corruptFraction)) {
        const size_t at = 8 + (u.count > 0 ? size_t(m_core.rng() % u.count) : 0);
        block[at] ^= 0xFF;  // changes the byte sum, so the host's checksum test fails
        ++m_core.stats.corruptedBlocks;
    }
    if (m_line.queue(block.data(), block.size(), Traffic::Reply)) ++m_core.stats.uploadBlocksSent;
    u.flushed = false;
    u.marker = m_line.queuedTotal();
}

void UploadServer::acknowledgedLocked(const HostInput& ack) {
    ++m_core.stats.acksReceived;
    Upload& u = m_upload;
    if (!u.active || ack.arg16 != u.blockNumber) {
        ++m_core.stats.staleAcks;
        return;
    }
    const bool endBlock = u.count == 0;
    if (!endBlock && m_core.chance(m_core.faults.lostAckFraction)) {
        ++m_core.stats.acksIgnored;
        return;
    }
    if (endBlock) {
        ++m_core.stats.uploadsCompleted;
        finishUpload();
    } else if (ack.arg32 == kAckCancel) {
        ++m_core.stats.uploadsCancelled;
        u.offset = u.bytes.size();  // the host still needs the end block to close its file
        sendBlock(false);
    } else {
        u.offset += u.count;
        sendBlock(false);
    }
}

void UploadServer::tickLocked(SimClock::time_point now) {
    if (!m_upload.active) return;
    if (!m_upload.flushed && m_line.writtenTotal() >= m_upload.marker) {
        m_upload.flushed = true;
        m_upload.sentAt = now;
    }
    if (m_upload.flushed && now - m_upload.sentAt >= m_core.options.ackTimeout) {
        if (m_upload.repeats >= m_core.options.maxBlockRepeats) {
            ++m_core.stats.uploadsAbandoned;
            finishUpload();
        } else {
            sendBlock(true);
        }
    }
}

void UploadServer::finishUpload() {
    m_upload.active = false;
    if (m_logger.stateLocked() == state::kUpload)
        m_logger.setStateLocked(m_upload.stateBefore == state::kUpload ? state::kStandby : m_upload.stateBefore);
}

void UploadServer::addRun(int16_t runNumber, std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_core.mutex());
    SimRun run;
    run.info = runInfoFromRunFile(runNumber, bytes, m_logger.runInfoFallbackLocked(runNumber));
    run.bytes = std::move(bytes);
    m_store.put(std::move(run));
}

bool UploadServer::addRunFile(int16_t runNumber, const std::filesystem::path& path, std::string* error) {
    std::vector<uint8_t> bytes;
    std::string message;
    if (!readRunFile(path, bytes, message)) {
        if (error) *error = message;
        return false;
    }
    addRun(runNumber, std::move(bytes));
    return true;
}

std::vector<int16_t> UploadServer::generateRuns(int count, uint32_t seed) {
    std::lock_guard lock(m_core.mutex());
    std::mt19937 rng(seed);
    std::vector<int16_t> numbers;
    for (int i = 0; i < count; ++i) {
        const int16_t number = m_store.nextRunNumber();
        RunFileOptions options;
        options.seed = rng();
        options.runNumber = number;
        options.targetSize = 4096 + rng() % (20 * 1024);
        // A logger in good order: no damaged records, no windows overfilled.
        options.inconsistentKrMuxPercent = 0;
        options.burstPercent = 0;
        std::vector<uint8_t> bytes = RunFileGenerator(options).bytes();
        const RunInfo fallback = runInfoFromSetup(number, m_logger.setupLocked());
        SimRun run;
        run.info = runInfoFromRunFile(number, bytes, fallback);
        run.bytes = std::move(bytes);
        m_store.put(std::move(run));
        numbers.push_back(number);
    }
    return numbers;
}

std::vector<int16_t> UploadServer::runNumbers() const {
    std::lock_guard lock(m_core.mutex());
    return m_store.numbers();
}

std::optional<std::vector<uint8_t>> UploadServer::runBytes(int16_t runNumber) const {
    std::lock_guard lock(m_core.mutex());
    if (const SimRun* run = m_store.find(runNumber)) return run->bytes;
    return std::nullopt;
}

std::optional<RunInfo> UploadServer::runInfo(int16_t runNumber) const {
    std::lock_guard lock(m_core.mutex());
    if (const SimRun* run = m_store.find(runNumber)) return run->info;
    return std::nullopt;
}

void UploadServer::clearRuns() {
    std::lock_guard lock(m_core.mutex());
    m_store.clear();
}

} // namespace cv::sim
