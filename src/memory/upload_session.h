#pragma once
// Fetching run files from the logger: queueing the chosen runs, requesting them one after the
// other, writing the upload blocks into run.NNN while acknowledging each block, and extracting
// each finished run. Driven by button actions, block arrivals and the two timer ticks;
// everything it shows or sends goes out through the interfaces it is given.
//
// The run file's open, writes, close and the extraction run on a file lane, so that a stalled
// disk or share never stops the thread that reads the logger. A block is acknowledged once it
// has its place in the lane's queue, in order behind the blocks before it: from then on only a
// write failure can lose it, and that is reported as before. When the queue is full the block
// is held and its acknowledgement with it; the logger sends the next block only after the
// acknowledgement, so a slow disk paces the logger and no block is dropped. Answers of the lane
// come back through poll().
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/job_lane.h"
#include "extract/run_extraction.h"
#include "memory/off_tick_extraction.h"
#include "protocol/logger_records.h"
#include "memory/written_runs_note.h"

namespace cv {

class CommandSink;
class OperatorDialogs;
class RunDirectory;
class UploadView;
class WarningBox;

constexpr size_t kUploadDataBytes = 1024;

// How long `remainingBytes` take at `bytesPerSecond`, as the page shows it beside the percentage;
// nothing while no rate is measured.
std::string timeLeftText(int64_t remainingBytes, double bytesPerSecond);

class UploadSession {
public:
    // Where the run in hand stands. Runs still queued are counted apart (runsRemaining); the
    // next of them starts at the next supervision tick from Idle or Complete.
    enum class Phase {
        Idle,        // no run in hand
        Starting,    // the next run's file is being looked at and opened on the lane; its
                     // overwrite question may be open
        Requested,   // the run is asked for and no data block of it is written yet
        Receiving,   // data blocks of the run are being written
        Extracting,  // the run file is closing; its boxes and its extraction are under way
        Complete,    // the last run is done; the time-out timer stops at its next tick
    };

    // Blocks that may wait for the disk: 256 KB, about 23 s of a 115200-baud line. A share
    // that stalls for longer holds the acknowledgements, and with them the logger.
    static constexpr size_t kQueuedBlocks = 256;

    // `commands` carries what the operator asked for (run requests) and says whether it went
    // out; `automatic`, when given, the block acknowledgements. Without a `lane` the session
    // runs its file work on a lane of its own with room for kQueuedBlocks.
    UploadSession(RunDirectory& directory, CommandSink& commands, WarningBox& warnings,
                  OperatorDialogs& dialogs, UploadView& view, ExtractRunFile extract,
                  CommandSink* automatic = nullptr, JobLane* lane = nullptr);
    ~UploadSession();
    UploadSession(const UploadSession&) = delete;
    UploadSession& operator=(const UploadSession&) = delete;

    // Upload Logger Data: the selected rows of the run list and the chosen extraction item
    // (-1 when none is chosen).
    void queueSelection(const std::vector<int>& selectedRows, int extractChoice);
    // Cancel Upload: takes effect through the next block acknowledgement.
    void cancel() { m_cancel = true; }
    // Nothing else may touch the logger memory or the extraction while queued runs are still in
    // the logger: true, after telling the operator, while that is so.
    bool refuseWhileUploading();
    // The runs still to come follow the extraction choice the operator made last.
    void setExtractChoice(int extractChoice) { m_extractChoice = extractChoice; }

    void supervisionTick();  // every 1000 ms
    void timeoutTick();      // every 1500 ms while the time-out timer runs
    void blockArrived(std::span<const uint8_t, kUploadBlockLength> block);
    // Takes back what the file lane has done and hands over a held block when there is room:
    // call it on a tick, or whenever the lane says an answer is ready.
    void poll();
    // Waits until the file lane has done everything, answers included (end of work, tests).
    void finishFileWork();
    JobLane& fileLane() { return m_lane; }

    // Directory and upload state back to their start-up values.
    void resetDirectory();

    int runsRemaining() const { return m_runsRemaining; }
    Phase phase() const { return m_phase; }
    long idleTicks() const { return m_idleTicks; }
    bool transferRunning() const {
        return m_phase == Phase::Starting || m_phase == Phase::Requested || m_phase == Phase::Receiving;
    }
    bool extractionRunning() const { return m_phase == Phase::Extracting; }
    // A block waits for room in the file lane; its acknowledgement waits with it.
    bool blockHeld() const { return m_held.has_value(); }
    bool cancelRequested() const { return m_cancel; }
    int extractChoice() const { return m_extractChoice; }
    int currentRun() const { return m_currentRun; }
    int64_t bytesReceived() const { return m_received; }
    int64_t progressDivisor() const { return m_divisor; }
    long duplicateCount() const { return m_duplicates; }
    const std::filesystem::path& uploadFolder() const { return m_folder; }

    // Smallest power of ten that brings the expected size down to at most 3200 steps.
    static int64_t progressDivisorFor(int64_t expectedSize);

private:
    struct RunFile;
    struct HeldBlock {
        uint16_t number = 0;
        std::vector<uint8_t> data;
    };
    bool nextRunMayStart() const { return m_phase == Phase::Idle || m_phase == Phase::Complete; }
    bool waitingForTheLogger() const { return m_phase == Phase::Requested || m_phase == Phase::Receiving; }
    void startNextRun();
    void lookAtNextRun();
    void runFileLookedAt(uint64_t token, bool foundSomething);
    bool overwriteNeedsAsking(const std::filesystem::path& path, bool foundSomething) const;
    void runFileOpened(uint64_t token, bool opened);
    bool handOver(std::vector<uint8_t> data);
    void blockTaken(uint16_t number, size_t count);
    void showReceived();
    void writeFailed(uint64_t token);
    void finishRun();
    void runFileClosed(bool closed);
    void runDone();
    void endUpload();
    void closeRunFile();
    void sendAck(uint16_t blockNumber);
    void warnUpload(const std::string& text);
    bool nameIsARunFile(const std::string& name, const std::string& proposed) const;
    void noteRunWritten(bool cutShort);
    void keepCancelledRunAsPart();
    void showTimeLeft();

    RunDirectory& m_directory;
    CommandSink& m_commands;
    CommandSink& m_automatic;
    WarningBox& m_warnings;
    OperatorDialogs& m_dialogs;
    UploadView& m_view;
    std::unique_ptr<JobLane> m_ownLane;
    JobLane& m_lane;
    OffTickExtraction m_extraction;
    WrittenRunsNote m_writtenNote;

    Phase m_phase = Phase::Idle;
    int m_runsRemaining = 0;
    bool m_cancel = false;
    long m_idleTicks = 0;  // time-out ticks since the last block or request

    int m_currentRun = 0;
    int m_currentSlot = -1;
    int64_t m_expected = 0;
    int64_t m_received = 0;
    int64_t m_divisor = 1;
    long m_duplicates = 0;
    uint16_t m_lastBlock = 0;
    long m_silentSeconds = 0;  // supervision ticks since the last block or the start of the upload
    long m_receivingSeconds = 0;  // supervision ticks since the run's first block came
    bool m_silenceShown = false;
    std::optional<uint16_t> m_previousEnd;    // number of the block that ended the last run
    bool m_writeFailed = false;

    std::shared_ptr<RunFile> m_runFile;  // touched only by jobs on the lane
    bool m_fileOpen = false;             // a run file is open, or opening, on the lane
    uint64_t m_runToken = 0;             // which opening of a run file the lane's answers are about
    std::optional<HeldBlock> m_held;
    std::filesystem::path m_folder;
    std::string m_confirmedName;  // the name the save dialog confirmed (and asked about)
    std::string m_fileName;
    std::filesystem::path m_path;
    int m_extractChoice = -1;
};

} // namespace cv
