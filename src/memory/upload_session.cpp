#include "memory/upload_session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>

#include "base/bytes.h"
#include "protocol/commands.h"
#include "base/text_format.h"
#include "memory/run_directory.h"
#include "memory/upload_view.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace {
const char* const kUnableTitle = "Unable to comply";
const char* const kUploadInProgress = "Upload in progress";
const char* const kSelectFileTypes = "Please Select the File Types To Be Extracted";
const char* const kSaveTitle = "Save Logger File";
const char* const kSaveFilter = "Run (run.000-run.999)|run.*";
const char* const kRunFileFormat = "run.%03d";
const char* const kManyRunsName = "run.xxx";
const char* const kOverwriteFormat =
    "File %s Exists ... Overwrite ?\n\n%cYes = Overwrite File\n%cNo = Skip file\n%cCancel = Abort Upload";
const char* const kUploadErrorTitleFormat = "Run.%03d - File Upload Error";
const char* const kSmallerText = "File Sent is Smaller than Expected";
const char* const kBiggerText = "File Sent is Bigger than Expected";
const char* const kCreateFailedFormat = "Unable to create the run file %s\n\nThe upload is stopped.";
const char* const kWriteFailedFormat = "Unable to write the run file %s\n\nThe upload is stopped.";
const char* const kExtractingFormat = "Extracting run %d: %d%%";
const char* const kUploadComplete = "Upload is Complete";
const char* const kUploadCancelled = "Upload Cancelled";
const char* const kFileSizeFormat = "File Size:  %1ld K";
const char* const kDuplicatesFormat = "Duplicate Packets:  %1ld";
const char* const kSelectRunsFirst = "Select the runs to upload in the list first";
const char* const kNothingToUpload = "The runs selected hold no data: there is nothing to upload";
const char* const kNameRefusedFormat =
    "Runs are saved as run.NNN in the folder chosen, so the name %s cannot be used.\n\n"
    "Choose only the folder and keep the name %s.";
const char* const kSilenceFormat = "No data from the logger for %ld s";
constexpr long kSilenceShownAfter = 10;  // seconds without a block before the page says so
constexpr long kIdleTicksBeforeRepeat = 3;  // time-out ticks without a block before the request is repeated

constexpr int64_t kMaxProgressSteps = 3200;
constexpr uint32_t kAckGoOn = 1;
constexpr uint32_t kAckCancel = 2;
constexpr size_t kBlockNumberOffset = 2;
constexpr size_t kCountOffset = 6;
constexpr size_t kDataOffset = 8;
} // namespace

// The run file as the lane sees it. Every block is flushed as it is written, so what came is on
// disk even if the program ends in the middle of a run.
struct UploadSession::RunFile {
    std::ofstream out;
    bool failed = false;

    bool open(const std::filesystem::path& path) {
        out.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
        return out.is_open();
    }
    // False only for the write that fails first: a failure is told once.
    bool write(const std::vector<uint8_t>& data) {
        if (failed || !out.is_open()) return true;
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        out.flush();
        failed = !out;
        return !failed;
    }
    bool close() {
        if (!out.is_open()) return true;
        out.close();
        return !out.fail();
    }
};

UploadSession::UploadSession(RunDirectory& directory, CommandSink& commands, WarningBox& warnings,
                             OperatorDialogs& dialogs, UploadView& view, ExtractRunFile extract,
                             CommandSink* automatic, JobLane* lane)
    : m_directory(directory),
      m_commands(commands),
      m_automatic(automatic ? *automatic : commands),
      m_warnings(warnings),
      m_dialogs(dialogs),
      m_view(view),
      m_ownLane(lane ? nullptr : std::make_unique<JobLane>(kQueuedBlocks)),
      m_lane(lane ? *lane : *m_ownLane),
      m_extraction(m_lane, warnings, std::move(extract)),
      m_writtenNote(view) {
    resetDirectory();
}

// The run file is closed with whatever came; an own lane finishes its writes before it ends.
UploadSession::~UploadSession() { closeRunFile(); }

std::string timeLeftText(int64_t remainingBytes, double bytesPerSecond) {
    if (bytesPerSecond <= 0 || remainingBytes < 0) return "";
    const long seconds = std::lround(double(remainingBytes) / bytesPerSecond);
    if (seconds < 60) return format("about %ld s left", seconds);
    const long minutes = std::lround(double(seconds) / 60);
    if (minutes < 60) return format("about %ld min left", minutes);
    return format("about %ld h %02ld min left", minutes / 60, minutes % 60);
}

void UploadSession::showTimeLeft() {
    if (m_phase != Phase::Receiving) return;
    ++m_receivingSeconds;
    m_view.setTimeLeftText(timeLeftText(std::max<int64_t>(m_expected - m_received, 0),
                                        double(m_received) / double(m_receivingSeconds)));
}

// A run cut short by Cancel must not pass for the whole run under its run's name; what came is
// kept beside it, where Parse Run Files still finds it. The rename queues behind the file's
// close on the lane, so it never waits on the disk here.
void UploadSession::keepCancelledRunAsPart() {
    std::filesystem::path part = m_path;
    part += std::string(kPartSuffix);
    m_lane.post([from = m_path, to = part]() -> JobLane::Answer {
        std::error_code ec;
        std::filesystem::rename(from, to, ec);
        return {};
    });
    m_path = part;
    m_fileName = m_path.filename().string();
}

void UploadSession::poll() {
    m_extraction.relay();
    m_lane.collect();
    if (m_held && m_lane.hasRoom()) {
        HeldBlock held = std::move(*m_held);
        m_held.reset();
        const size_t count = held.data.size();
        if (handOver(std::move(held.data))) blockTaken(held.number, count);
    }
}

void UploadSession::finishFileWork() {
    // An answer may hand over more work (a closed run file starts its extraction).
    do {
        m_lane.waitIdle();
        poll();
    } while (m_lane.pending() > 0);
}

int64_t UploadSession::progressDivisorFor(int64_t expectedSize) {
    int64_t divisor = 1;
    while (expectedSize / divisor > kMaxProgressSteps) divisor *= 10;
    return divisor;
}

void UploadSession::resetDirectory() {
    closeRunFile();
    m_directory.reset();
    m_runsRemaining = 0;
    m_cancel = false;
    // A finished upload still stops the time-out timer at its next tick, and a run still being
    // extracted ends as a run does.
    if (m_phase != Phase::Complete && m_phase != Phase::Extracting) m_phase = Phase::Idle;
}

bool UploadSession::refuseWhileUploading() {
    if (m_runsRemaining == 0) return false;
    m_warnings.show(kUnableTitle, kUploadInProgress);
    return true;
}

void UploadSession::queueSelection(const std::vector<int>& selectedRows, int extractChoice) {
    if (refuseWhileUploading()) return;
    if (extractChoice < 0) {
        m_warnings.show(kUnableTitle, kSelectFileTypes);
        return;
    }
    m_extractChoice = extractChoice;
    if (selectedRows.empty()) {
        m_warnings.show(kUnableTitle, kSelectRunsFirst);
        return;
    }

    // No upload runs, so any flag still set is left over from an upload that never happened or
    // was cancelled; it must not be fetched unasked now.
    m_directory.clearUploadFlags();
    int counted = 0;
    int onlySlot = -1;
    for (int row : selectedRows) {
        const int slot = m_directory.slotOfRow(row);
        if (slot < 0 || m_directory.slot(slot).size <= 0 || m_directory.slot(slot).uploadFlag) continue;
        m_directory.setUploadFlag(slot, true);
        ++counted;
        onlySlot = slot;
    }
    if (counted == 0) {
        m_warnings.show(kUnableTitle, kNothingToUpload);
        return;
    }

    // With one run the dialog proposes that run's own file, so that its overwrite question
    // is about the file the upload will write.
    FileChoice choice;
    choice.title = kSaveTitle;
    choice.filter = kSaveFilter;
    choice.proposedName = counted == 1 ? format(kRunFileFormat, m_directory.slot(onlySlot).runNumber) : kManyRunsName;
    choice.askOverwrite = true;
    const std::optional<std::string> chosen = m_dialogs.chooseSaveFile(choice);
    if (!chosen) {
        m_directory.clearUploadFlags();
        return;
    }
    const std::filesystem::path chosenPath(*chosen);
    const std::string name = chosenPath.filename().string();
    if (!nameIsARunFile(name, choice.proposedName)) {
        // Each run keeps its logger number as its name; a name typed here would be dropped
        // without a word, so it is refused instead.
        m_directory.clearUploadFlags();
        m_warnings.show(kSaveTitle, format(kNameRefusedFormat, name.c_str(), choice.proposedName.c_str()));
        return;
    }
    m_folder = chosenPath.parent_path();
    m_confirmedName = name;
    // A Cancel pressed while nothing was running must not end the upload asked for now.
    m_cancel = false;
    m_runsRemaining = counted;
    m_silentSeconds = 0;
    m_silenceShown = false;
    m_writtenNote.begin(m_folder);
}

bool UploadSession::nameIsARunFile(const std::string& name, const std::string& proposed) const {
    auto same = [](const std::string& a, const std::string& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
        });
    };
    if (same(name, proposed) || same(name, kManyRunsName)) return true;
    for (int slot = 0; slot < m_directory.slotCount(); ++slot)
        if (m_directory.slot(slot).uploadFlag && same(name, format(kRunFileFormat, m_directory.slot(slot).runNumber)))
            return true;
    return false;
}

void UploadSession::noteRunWritten(bool cutShort) { m_writtenNote.add(m_fileName, cutShort, m_received, m_expected); }

void UploadSession::supervisionTick() {
    // The overwrite question of a starting run is open: its loop must not start another.
    if (m_phase == Phase::Starting) return;
    showTimeLeft();
    // A held block is the disk's delay, not the logger's.
    if (m_held) m_silentSeconds = 0;
    if (m_runsRemaining != 0 && waitingForTheLogger() && !m_held && ++m_silentSeconds >= kSilenceShownAfter) {
        // A logger that stops in the middle of a run sends nothing to say so.
        m_view.setStatusText(format(kSilenceFormat, m_silentSeconds));
        m_silenceShown = true;
    }
    if (m_runsRemaining != 0 && m_phase != Phase::Complete && m_idleTicks >= kIdleTicksBeforeRepeat) {
        if (m_cancel && waitingForTheLogger()) {
            // Cancel travels in block acknowledgements; with no block for three time-out ticks
            // the logger will not carry it, so the upload ends here instead of waiting forever.
            if (m_fileOpen) {
                closeRunFile();
                keepCancelledRunAsPart();
                noteRunWritten(true);
            }
            endUpload();
            m_view.setUploadRunText(kUploadCancelled);
            return;
        }
        if (m_phase == Phase::Requested) {
            m_phase = Phase::Idle;  // the same run is requested again below
            m_previousEnd.reset();  // asked twice: a zero-count block is this run's answer
        } else {
            m_idleTicks = 0;
        }
    }
    if (m_runsRemaining != 0 && nextRunMayStart() && m_cancel) {
        // Cancel pressed between two runs: do not start the next one only to cancel it.
        endUpload();
        m_view.setUploadRunText(kUploadCancelled);
        return;
    }
    if (m_runsRemaining != 0 && nextRunMayStart()) {
        m_idleTicks = 0;
        startNextRun();
    }
}

void UploadSession::timeoutTick() {
    if (m_phase == Phase::Complete) {
        m_view.setTimeoutEnabled(false);
        m_phase = Phase::Idle;
        m_idleTicks = 0;
    } else if (m_phase != Phase::Extracting) {
        ++m_idleTicks;
    }
}

// Whether the disk holds something at `path` that the operator has to agree to overwrite; the
// lane looks, since a stalled share does not answer even that.
bool UploadSession::overwriteNeedsAsking(const std::filesystem::path& path, bool foundSomething) const {
    if (!foundSomething) return false;
    // The save dialog asked about the name it confirmed; every other existing run file is the
    // operator's data and is overwritten only when the operator says so.
    return path.filename().string() != m_confirmedName;
}

void UploadSession::startNextRun() {
    m_phase = Phase::Starting;
    closeRunFile();  // a repeated request starts the file afresh
    lookAtNextRun();
}

void UploadSession::lookAtNextRun() {
    const int slot = m_directory.firstFlaggedSlot();
    if (slot < 0) {
        // Nothing left to fetch: every remaining run was skipped.
        m_runsRemaining = 0;
        m_phase = Phase::Idle;
        m_idleTicks = 0;
        m_view.setTimeoutEnabled(false);
        m_view.setUploadRunText(kUploadComplete);
        return;
    }
    m_idleTicks = 0;
    m_currentSlot = slot;
    m_currentRun = m_directory.slot(slot).runNumber;
    m_fileName = format(kRunFileFormat, m_currentRun);
    m_path = m_folder / m_fileName;
    const uint64_t token = ++m_runToken;
    m_lane.post([this, path = m_path, token]() -> JobLane::Answer {
        std::error_code ec;
        // An empty file holds nothing to lose.
        const bool found = std::filesystem::exists(path, ec) &&
                           !(std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0 && !ec);
        return [this, token, found] { runFileLookedAt(token, found); };
    });
}

void UploadSession::runFileLookedAt(uint64_t token, bool foundSomething) {
    if (token != m_runToken) return;  // the upload ended meanwhile
    if (overwriteNeedsAsking(m_path, foundSomething)) {
        const Answer answer = m_dialogs.ask("", format(kOverwriteFormat, m_fileName.c_str(), '\t', '\t', '\t'),
                                            Buttons::YesNoCancel, Icon::None);
        if (token != m_runToken) return;
        if (answer == Answer::Cancel) {
            endUpload();
            m_view.setUploadRunText(kUploadCancelled);
            return;
        }
        if (answer == Answer::No) {
            // A skipped run is done with: it leaves the queue and the count.
            m_directory.setUploadFlag(m_currentSlot, false);
            if (m_runsRemaining > 0) --m_runsRemaining;
            lookAtNextRun();
            return;
        }
    }
    m_runFile = std::make_shared<RunFile>();
    m_fileOpen = true;
    m_lane.post([this, file = m_runFile, path = m_path, token]() -> JobLane::Answer {
        const bool opened = file->open(path);
        return [this, token, opened] { runFileOpened(token, opened); };
    });
}

void UploadSession::runFileOpened(uint64_t token, bool opened) {
    if (token != m_runToken) return;  // the upload ended while the file was opening
    if (!opened) {
        const int run = m_currentRun;
        const std::string path = m_path.string();
        m_fileOpen = false;
        endUpload();
        m_warnings.show(format(kUploadErrorTitleFormat, run), format(kCreateFailedFormat, path.c_str()));
        m_view.setUploadRunText(kUploadCancelled);
        return;
    }
    m_expected = m_directory.slot(m_currentSlot).size;
    m_divisor = progressDivisorFor(m_expected);
    m_view.setProgressMaximum(long(m_expected / m_divisor));
    m_received = 0;
    m_receivingSeconds = 0;
    m_view.setTimeLeftText("");
    m_duplicates = 0;
    m_writeFailed = false;
    if (!m_commands.sendCommand(cmd::kUploadRequest, uint16_t(m_currentRun), 0)) {
        // The operator has been told the port took nothing; asking again every few
        // seconds would only stack up the same box.
        endUpload();
        m_view.setUploadRunText(kUploadCancelled);
        return;
    }
    if (m_phase == Phase::Starting) m_phase = Phase::Requested;
    m_view.setTimeoutEnabled(true);
    m_idleTicks = 0;
}

bool UploadSession::handOver(std::vector<uint8_t> data) {
    return m_lane.tryPost([this, file = m_runFile, data = std::move(data), token = m_runToken]() -> JobLane::Answer {
        if (file->write(data)) return {};
        return [this, token] { writeFailed(token); };
    });
}

void UploadSession::writeFailed(uint64_t token) {
    if (token != m_runToken || m_writeFailed) return;
    m_writeFailed = true;
    m_cancel = true;  // the logger stops sending what cannot be kept
    warnUpload(format(kWriteFailedFormat, m_path.string().c_str()));
}

void UploadSession::sendAck(uint16_t blockNumber) {
    m_automatic.sendCommand(cmd::kBlockAck, blockNumber, m_cancel ? kAckCancel : kAckGoOn);
}

void UploadSession::blockArrived(std::span<const uint8_t, kUploadBlockLength> block) {
    // Everything the block holds is taken now: the record may be overwritten by the next block
    // while a box opened below runs its message loop.
    const uint16_t number = getU16le(block.data() + kBlockNumberOffset);
    const int16_t count = getI16le(block.data() + kCountOffset);

    // Until the lane says the run file is open, the run is not requested yet.
    if (!m_fileOpen || m_phase == Phase::Starting) {
        // A repeat of the block that ended the last run: its acknowledgement went missing.
        if (count == 0 && m_previousEnd && *m_previousEnd == number) sendAck(number);
        return;
    }
    m_idleTicks = 0;
    m_silentSeconds = 0;
    if (m_held) {
        // The logger sends nothing new before the held block is acknowledged, so this is a
        // repeat of it; the acknowledgement goes out when the block has its place in the queue.
        if (number == m_held->number) ++m_duplicates;
        return;
    }
    // An open run file belongs to the run in hand; until one of its data blocks is written, a
    // block may still be the last run's.
    const bool firstBlockPending = m_phase != Phase::Receiving;
    if (count == 0 && firstBlockPending && m_previousEnd && *m_previousEnd == number) {
        // The last run's end block repeated after this run was requested: not this run's end.
        sendAck(number);
        return;
    }

    if (count > 0) {
        // Block numbers only tell apart consecutive blocks of one run, so the first block of a
        // run is never a repeat.
        if (!firstBlockPending && number == m_lastBlock) {
            ++m_duplicates;
        } else if (!m_writeFailed) {
            const size_t n = std::min(size_t(count), kUploadDataBytes);
            std::vector<uint8_t> data(block.data() + kDataOffset, block.data() + kDataOffset + n);
            if (!handOver(data)) {
                m_held = HeldBlock{number, std::move(data)};
                return;
            }
            blockTaken(number, n);
            return;
        }
    }

    sendAck(number);
    m_lastBlock = number;
    if (m_silenceShown) showReceived();
    if (count == 0) {
        m_previousEnd = number;
        finishRun();
    }
}

// A data block has its place in the lane's queue: it counts as received, and is acknowledged.
void UploadSession::blockTaken(uint16_t number, size_t count) {
    m_phase = Phase::Receiving;
    m_received += int64_t(count);
    m_previousEnd.reset();
    sendAck(number);
    m_lastBlock = number;
    showReceived();
}

void UploadSession::showReceived() {
    m_silenceShown = false;
    m_view.setProgressPosition(long(m_received / m_divisor));
    m_view.setUploadRunText(m_fileName);
    m_view.setUploadSizeText(format(kFileSizeFormat, long(m_received / 1024)));
    m_view.setStatusText(format(kDuplicatesFormat, m_duplicates));
}

void UploadSession::warnUpload(const std::string& text) {
    m_warnings.show(format(kUploadErrorTitleFormat, m_currentRun), text);
}

void UploadSession::closeRunFile() {
    m_held.reset();
    ++m_runToken;  // what the lane still says of the run file concerns nobody any more
    if (!m_fileOpen) return;
    m_fileOpen = false;
    m_lane.post([file = m_runFile]() -> JobLane::Answer {
        file->close();
        return {};
    });
}

// The state is settled before each box opens and before the lane is asked for anything: the
// timers tick inside a box, and the Extracting phase keeps them from starting the next run or
// counting idle ticks until the run file is closed and extracted.
void UploadSession::finishRun() {
    m_phase = Phase::Extracting;
    m_fileOpen = false;
    m_view.setTimeoutEnabled(false);
    if (m_runsRemaining > 0) --m_runsRemaining;
    if (m_currentSlot >= 0) m_directory.setUploadFlag(m_currentSlot, false);
    m_silentSeconds = 0;
    // Buffered bytes reach the disk at the latest when the file closes.
    m_lane.post([this, file = m_runFile]() -> JobLane::Answer {
        const bool closed = file->close();
        return [this, closed] { runFileClosed(closed); };
    });
}

void UploadSession::runFileClosed(bool closed) {
    const bool closeFailed = !closed && !m_writeFailed;
    if (closeFailed) {
        m_writeFailed = true;
        m_cancel = true;
    }
    // A run the operator cancelled is short by choice: no error box, and no extraction whose
    // Summary would read as a whole run's. The page names it as incomplete; Parse Run Files can
    // still extract what came.
    const bool cancelledShort = m_cancel && !m_writeFailed && m_received < m_expected;
    if (cancelledShort) keepCancelledRunAsPart();
    m_view.setTimeLeftText("");
    const int run = m_currentRun;
    const std::filesystem::path path = m_path;
    noteRunWritten(m_writeFailed || m_received < m_expected);
    if (closeFailed) warnUpload(format(kWriteFailedFormat, path.string().c_str()));
    if (!m_writeFailed && !cancelledShort) {
        if (m_expected > m_received)
            m_warnings.show(format(kUploadErrorTitleFormat, run), kSmallerText);
        else if (m_expected < m_received)
            m_warnings.show(format(kUploadErrorTitleFormat, run), kBiggerText);
        if (m_extraction.available()) {
            m_extraction.start(
                path, m_extractChoice,
                [this, run](int percent) { m_view.setUploadRunText(format(kExtractingFormat, run, percent)); },
                [this, run, path](const OffTickExtraction::Outcome& outcome) {
                    if (!outcome.failure.empty())
                        m_warnings.show(format(kUploadErrorTitleFormat, run), extractionFailedText(path, outcome.failure));
                    runDone();
                });
            return;
        }
    }
    runDone();
}

void UploadSession::runDone() {
    if (m_phase == Phase::Extracting) m_phase = Phase::Idle;
    if (m_runsRemaining == 0) {
        m_view.setUploadRunText(kUploadComplete);
        m_phase = Phase::Complete;
    }
    if (m_cancel) {
        endUpload();
        m_view.setUploadRunText(kUploadCancelled);
    }
}

// Ends an upload early: nothing stays queued, so nothing is fetched later unasked.
void UploadSession::endUpload() {
    closeRunFile();
    m_view.setTimeLeftText("");
    m_directory.clearUploadFlags();
    m_runsRemaining = 0;
    m_cancel = false;
    m_phase = Phase::Idle;
    m_idleTicks = 0;
    m_view.setTimeoutEnabled(false);
    if (m_silenceShown) m_view.setStatusText("");  // nothing is waited for any more
    m_silenceShown = false;
    m_silentSeconds = 0;
}

} // namespace cv
