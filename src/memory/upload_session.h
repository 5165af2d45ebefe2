#pragma once
// Fetching run files from the logger: queueing the chosen runs, requesting them one after the
// other, writing the upload blocks into run.NNN while acknowledging each block, and extracting
// each finished run. Driven by button actions, block arrivals and the two timer ticks;
// everything it shows or sends goes out through the interfaces it is given.
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "extract/run_extraction.h"
#include "protocol/logger_records.h"
#include "memory/written_runs_note.h"

namespace cv {

class CommandSink;
class OperatorDialogs;
class RunDirectory;
class UploadView;
class WarningBox;

// Extracts one run file with the extraction choice (0 archive only, 1 archive plus raw files)
// and says what it wrote.
using ExtractRunFile = std::function<ExtractionResult(const std::filesystem::path& runFile, int choice)>;

// The box text of an extraction that threw, after an upload and on demand alike.
std::string extractionFailedText(const std::filesystem::path& runFile, const std::exception& e);

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
        Starting,    // the next run's file is being opened; its overwrite question may be open
        Requested,   // the run is asked for and no data block of it is written yet
        Receiving,   // data blocks of the run are being written
        Extracting,  // the run file is closed; its boxes and its extraction are under way
        Complete,    // the last run is done; the time-out timer stops at its next tick
    };

    // `commands` carries what the operator asked for (run requests) and says whether it went
    // out; `automatic`, when given, the block acknowledgements.
    UploadSession(RunDirectory& directory, CommandSink& commands, WarningBox& warnings,
                  OperatorDialogs& dialogs, UploadView& view, ExtractRunFile extract,
                  CommandSink* automatic = nullptr);
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

    // Directory and upload state back to their start-up values.
    void resetDirectory();

    int runsRemaining() const { return m_runsRemaining; }
    Phase phase() const { return m_phase; }
    long idleTicks() const { return m_idleTicks; }
    bool transferRunning() const {
        return m_phase == Phase::Starting || m_phase == Phase::Requested || m_phase == Phase::Receiving;
    }
    bool extractionRunning() const { return m_phase == Phase::Extracting; }
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
    enum class StartResult { Started, Cancelled, Finished };
    bool nextRunMayStart() const { return m_phase == Phase::Idle || m_phase == Phase::Complete; }
    bool waitingForTheLogger() const { return m_phase == Phase::Requested || m_phase == Phase::Receiving; }
    StartResult startNextRun();
    bool overwriteNeedsAsking(const std::filesystem::path& path) const;
    void finishRun();
    void endUpload();
    bool closeRunFile();
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
    ExtractRunFile m_extract;
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

    std::ofstream m_file;
    std::filesystem::path m_folder;
    std::string m_confirmedName;  // the name the save dialog confirmed (and asked about)
    std::string m_fileName;
    std::filesystem::path m_path;
    int m_extractChoice = -1;
};

} // namespace cv
