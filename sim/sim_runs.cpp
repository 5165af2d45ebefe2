// The runs in the logger's memory: the directory and the block-by-block upload, each block
// waiting for its acknowledgement.
#include "simulator.h"

#include <algorithm>

namespace cv {

namespace st = sim::state;

int32_t Kr8Simulator::freeMemoryLocked() const {
    if (m_freeOverride) return *m_freeOverride;
    int64_t used = int64_t(m_store.usedBytes());
    if (m_sampling) used += int64_t(m_sampling->recorder.size());
    return int32_t(std::max<int64_t>(0, int64_t(m_totalMemory) - used));
}


void Kr8Simulator::sendDirectory() {
    for (const sim::SimRun* run : m_store.runs()) {
        const sim::DirectoryRecord entry = sim::buildDirectoryEntry(run->info);
        if (queue(entry.data(), entry.size(), Traffic::Reply)) ++m_stats.directoryEntriesSent;
    }
}

// ---------------------------------------------------------------------------------------------
// Upload: one block at a time, each waiting for its acknowledgement

void Kr8Simulator::startUpload(int16_t runNumber) {
    if (m_faults.withheldFirstBlocks > 0) {
        --m_faults.withheldFirstBlocks;
        ++m_stats.firstBlocksWithheld;
        return;
    }
    const int16_t stateBefore = m_upload.active ? m_upload.stateBefore : m_state;
    m_upload = Upload{};
    m_upload.active = true;
    m_upload.runNumber = runNumber;
    if (const sim::SimRun* run = m_store.find(runNumber)) m_upload.bytes = run->bytes;  // else: an empty file
    m_upload.stateBefore = stateBefore;
    if (m_state != st::kSampling) m_state = st::kUpload;
    sendUploadBlock(false);
}

void Kr8Simulator::sendUploadBlock(bool repeat) {
    Upload& u = m_upload;
    if (repeat) {
        ++u.repeats;
        ++m_stats.uploadBlocksRepeated;
    } else {
        u.repeats = 0;
        u.count = std::min(sim::kUploadDataLength, u.bytes.size() - std::min(u.offset, u.bytes.size()));
        u.blockNumber = m_nextBlockNumber++;
        if (m_nextBlockNumber == 0) m_nextBlockNumber = 1;  // two runs in a row never share a number
    }
    sim::UploadRecord block =
        sim::buildUploadBlock(u.blockNumber, u.runNumber, u.count > 0 ? u.bytes.data() + u.offset : nullptr, u.count);
    if (chance(m_faults.corruptFraction)) {
        const size_t at = 8 + (u.count > 0 ? size_t(m_rng() % u.count) : 0);
        block[at] ^= 0xFF;  // changes the byte sum, so the host's checksum test fails
        ++m_stats.corruptedBlocks;
    }
    if (queue(block.data(), block.size(), Traffic::Reply)) ++m_stats.uploadBlocksSent;
    u.flushed = false;
    u.marker = m_queuedTotal;
}

void Kr8Simulator::handleAck(const Kr8SimReceived& in) {
    ++m_stats.acksReceived;
    Upload& u = m_upload;
    if (!u.active || in.arg16 != u.blockNumber) {
        ++m_stats.staleAcks;
        return;
    }
    const bool endBlock = u.count == 0;
    if (!endBlock && chance(m_faults.lostAckFraction)) {
        ++m_stats.acksIgnored;
        return;
    }
    if (endBlock) {
        ++m_stats.uploadsCompleted;
        finishUpload();
    } else if (in.arg32 == 2) {
        ++m_stats.uploadsCancelled;
        u.offset = u.bytes.size();  // the host still needs the end block to close its file
        sendUploadBlock(false);
    } else {
        u.offset += u.count;
        sendUploadBlock(false);
    }
}

void Kr8Simulator::uploadPeriodicLocked(Clock::time_point now) {
    if (!m_upload.active) return;
    if (!m_upload.flushed && m_writtenTotal >= m_upload.marker) {
        m_upload.flushed = true;
        m_upload.sentAt = now;
    }
    if (m_upload.flushed && now - m_upload.sentAt >= m_options.ackTimeout) {
        if (m_upload.repeats >= m_options.maxBlockRepeats) {
            ++m_stats.uploadsAbandoned;
            finishUpload();
        } else {
            sendUploadBlock(true);
        }
    }
}

void Kr8Simulator::finishUpload() {
    m_upload.active = false;
    if (m_state == st::kUpload) m_state = m_upload.stateBefore == st::kUpload ? st::kStandby : m_upload.stateBefore;
}

void Kr8Simulator::addRun(int16_t runNumber, std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    sim::RunInfo fallback = sim::runInfoFromSetup(runNumber, m_setup);
    fallback.startTime = uint32_t(loggerClockLocked());
    fallback.startMv = m_supplyMv;
    fallback.endMv = int16_t(m_supplyMv - 150);
    sim::SimRun run;
    run.info = sim::runInfoFromRunFile(runNumber, bytes, fallback);
    run.bytes = std::move(bytes);
    m_store.put(std::move(run));
}

bool Kr8Simulator::addRunFile(int16_t runNumber, const std::filesystem::path& path, std::string* error) {
    std::vector<uint8_t> bytes;
    std::string message;
    if (!sim::readRunFile(path, bytes, message)) {
        if (error) *error = message;
        return false;
    }
    addRun(runNumber, std::move(bytes));
    return true;
}

std::vector<int16_t> Kr8Simulator::generateRuns(int count, uint32_t seed) {
    std::lock_guard lock(m_mutex);
    std::mt19937 rng(seed);
    std::vector<int16_t> numbers;
    for (int i = 0; i < count; ++i) {
        const int16_t number = m_store.nextRunNumber();
        sim::RunFileOptions options;
        options.seed = rng();
        options.runNumber = number;
        options.targetSize = 4096 + rng() % (20 * 1024);
        // A logger in good order: no damaged records, no windows overfilled.
        options.inconsistentKrMuxPercent = 0;
        options.burstPercent = 0;
        std::vector<uint8_t> bytes = sim::RunFileGenerator(options).bytes();
        sim::RunInfo fallback = sim::runInfoFromSetup(number, m_setup);
        sim::SimRun run;
        run.info = sim::runInfoFromRunFile(number, bytes, fallback);
        run.bytes = std::move(bytes);
        m_store.put(std::move(run));
        numbers.push_back(number);
    }
    return numbers;
}

std::vector<int16_t> Kr8Simulator::runNumbers() const {
    std::lock_guard lock(m_mutex);
    return m_store.numbers();
}

std::optional<std::vector<uint8_t>> Kr8Simulator::runBytes(int16_t runNumber) const {
    std::lock_guard lock(m_mutex);
    if (const sim::SimRun* run = m_store.find(runNumber)) return run->bytes;
    return std::nullopt;
}

std::optional<sim::RunInfo> Kr8Simulator::runInfo(int16_t runNumber) const {
    std::lock_guard lock(m_mutex);
    if (const sim::SimRun* run = m_store.find(runNumber)) return run->info;
    return std::nullopt;
}

void Kr8Simulator::clearRuns() {
    std::lock_guard lock(m_mutex);
    m_store.clear();
}

} // namespace cv
