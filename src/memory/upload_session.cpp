#include "memory/upload_session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>

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
const char* const kExtractFailedFormat = "Extraction of %s failed: %s";
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

std::string extractionFailedText(const std::filesystem::path& runFile, const std::exception& e) {
    return format(kExtractFailedFormat, runFile.string().c_str(), e.what());
}

UploadSession::UploadSession(RunDirectory& directory, CommandSink& commands, WarningBox& warnings,
                             OperatorDialogs& dialogs, UploadView& view, ExtractRunFile extract,
                             CommandSink* automatic)
    : m_directory(directory),
      m_commands(commands),
      m_automatic(automatic ? *automatic : commands),
      m_warnings(warnings),
      m_dialogs(dialogs),
      m_view(view),
      m_extract(std::move(extract)),
      m_writtenNote(view) {
    resetDirectory();
}

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
// kept beside it, where Parse Run Files still finds it.
void UploadSession::keepCancelledRunAsPart() {
    closeRunFile();
    std::filesystem::path part = m_path;
    part += std::string(kPartSuffix);
    std::error_code ec;
    std::filesystem::rename(m_path, part, ec);
    if (ec) return;  // the short file stays under its name, and the page calls it incomplete
    m_path = part;
    m_fileName = m_path.filename().string();
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
    // A finished upload still stops the time-out timer at its next tick.
    if (m_phase != Phase::Complete) m_phase = Phase::Idle;
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
    if (m_runsRemaining != 0 && waitingForTheLogger() && ++m_silentSeconds >= kSilenceShownAfter) {
        // A logger that stops in the middle of a run sends nothing to say so.
        m_view.setStatusText(format(kSilenceFormat, m_silentSeconds));
        m_silenceShown = true;
    }
    if (m_runsRemaining != 0 && m_phase != Phase::Complete && m_idleTicks >= kIdleTicksBeforeRepeat) {
        if (m_cancel && waitingForTheLogger()) {
            // Cancel travels in block acknowledgements; with no block for three time-out ticks
            // the logger will not carry it, so the upload ends here instead of waiting forever.
            if (m_file.is_open()) {
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
        switch (startNextRun()) {
        case StartResult::Cancelled:
            m_view.setUploadRunText(kUploadCancelled);
            break;
        case StartResult::Started:
            m_view.setTimeoutEnabled(true);
            m_idleTicks = 0;
            break;
        case StartResult::Finished:
            m_view.setUploadRunText(kUploadComplete);
            break;
        }
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

bool UploadSession::overwriteNeedsAsking(const std::filesystem::path& path) const {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;
    if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0 && !ec) return false;
    // The save dialog asked about the name it confirmed; every other existing run file is the
    // operator's data and is overwritten only when the operator says so.
    return path.filename().string() != m_confirmedName;
}

UploadSession::StartResult UploadSession::startNextRun() {
    m_phase = Phase::Starting;
    closeRunFile();  // a repeated request starts the file afresh

    for (int slot = m_directory.firstFlaggedSlot(); slot >= 0; slot = m_directory.firstFlaggedSlot()) {
        m_idleTicks = 0;
        m_currentSlot = slot;
        m_currentRun = m_directory.slot(slot).runNumber;
        m_fileName = format(kRunFileFormat, m_currentRun);
        m_path = m_folder / m_fileName;

        if (overwriteNeedsAsking(m_path)) {
            const Answer answer = m_dialogs.ask(
                "", format(kOverwriteFormat, m_fileName.c_str(), '\t', '\t', '\t'), Buttons::YesNoCancel, Icon::None);
            if (answer == Answer::Cancel) {
                endUpload();
                return StartResult::Cancelled;
            }
            if (answer == Answer::No) {
                // A skipped run is done with: it leaves the queue and the count.
                m_directory.setUploadFlag(slot, false);
                if (m_runsRemaining > 0) --m_runsRemaining;
                continue;
            }
        }

        m_file.open(m_path, std::ios::binary | std::ios::out | std::ios::trunc);
        if (!m_file.is_open()) {
            const int run = m_currentRun;
            const std::string path = m_path.string();
            endUpload();
            m_warnings.show(format(kUploadErrorTitleFormat, run), format(kCreateFailedFormat, path.c_str()));
            return StartResult::Cancelled;
        }
        m_expected = m_directory.slot(slot).size;
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
            return StartResult::Cancelled;
        }
        if (m_phase == Phase::Starting) m_phase = Phase::Requested;
        return StartResult::Started;
    }

    // Nothing left to fetch: every remaining run was skipped.
    m_runsRemaining = 0;
    m_phase = Phase::Idle;
    m_idleTicks = 0;
    m_view.setTimeoutEnabled(false);
    return StartResult::Finished;
}

void UploadSession::sendAck(uint16_t blockNumber) {
    m_automatic.sendCommand(cmd::kBlockAck, blockNumber, m_cancel ? kAckCancel : kAckGoOn);
}

void UploadSession::blockArrived(std::span<const uint8_t, kUploadBlockLength> block) {
    // Everything the block holds is taken now: the record may be overwritten by the next block
    // while a box opened below runs its message loop.
    const uint16_t number = getU16le(block.data() + kBlockNumberOffset);
    const int16_t count = getI16le(block.data() + kCountOffset);

    if (!m_file.is_open()) {
        // A repeat of the block that ended the last run: its acknowledgement went missing.
        if (count == 0 && m_previousEnd && *m_previousEnd == number) sendAck(number);
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

    bool written = false;
    bool writeFailedNow = false;
    if (count > 0) {
        // Block numbers only tell apart consecutive blocks of one run, so the first block of a
        // run is never a repeat.
        if (!firstBlockPending && number == m_lastBlock) {
            ++m_duplicates;
        } else if (!m_writeFailed) {
            const size_t n = std::min(size_t(count), kUploadDataBytes);
            m_file.write(reinterpret_cast<const char*>(block.data() + kDataOffset), std::streamsize(n));
            m_file.flush();
            if (!m_file) {
                m_writeFailed = true;
                writeFailedNow = true;
                m_cancel = true;  // the logger stops sending what cannot be kept
            } else {
                m_phase = Phase::Receiving;
                m_received += int64_t(n);
                m_previousEnd.reset();
                written = true;
            }
        }
    }

    sendAck(number);
    m_idleTicks = 0;
    m_lastBlock = number;
    m_silentSeconds = 0;

    if (written || m_silenceShown) {
        m_silenceShown = false;
        m_view.setProgressPosition(long(m_received / m_divisor));
        m_view.setUploadRunText(m_fileName);
        m_view.setUploadSizeText(format(kFileSizeFormat, long(m_received / 1024)));
        m_view.setStatusText(format(kDuplicatesFormat, m_duplicates));
    }
    if (count == 0) {
        m_previousEnd = number;
        finishRun();
        return;
    }
    if (writeFailedNow) warnUpload(format(kWriteFailedFormat, m_path.string().c_str()));
}

void UploadSession::warnUpload(const std::string& text) {
    m_warnings.show(format(kUploadErrorTitleFormat, m_currentRun), text);
}

bool UploadSession::closeRunFile() {
    if (!m_file.is_open()) return true;
    m_file.close();
    const bool ok = !m_file.fail();
    m_file.clear();
    return ok;
}

// The state is settled before each box opens: the timers tick inside a box, and the Extracting
// phase keeps them from starting the next run or counting idle ticks.
void UploadSession::finishRun() {
    m_phase = Phase::Extracting;
    // Buffered bytes reach the disk at the latest when the file closes.
    const bool closeFailed = !closeRunFile() && !m_writeFailed;
    if (closeFailed) {
        m_writeFailed = true;
        m_cancel = true;
    }
    m_view.setTimeoutEnabled(false);
    if (m_runsRemaining > 0) --m_runsRemaining;
    if (m_currentSlot >= 0) m_directory.setUploadFlag(m_currentSlot, false);

    // A run the operator cancelled is short by choice: no error box, and no extraction whose
    // Summary would read as a whole run's. The page names it as incomplete; Parse Run Files can
    // still extract what came.
    const bool cancelledShort = m_cancel && !m_writeFailed && m_received < m_expected;
    if (cancelledShort) keepCancelledRunAsPart();
    m_view.setTimeLeftText("");
    const int run = m_currentRun;
    const std::filesystem::path path = m_path;
    m_silentSeconds = 0;
    noteRunWritten(m_writeFailed || m_received < m_expected);
    if (closeFailed) warnUpload(format(kWriteFailedFormat, path.string().c_str()));
    if (!m_writeFailed && !cancelledShort) {
        if (m_expected > m_received)
            m_warnings.show(format(kUploadErrorTitleFormat, run), kSmallerText);
        else if (m_expected < m_received)
            m_warnings.show(format(kUploadErrorTitleFormat, run), kBiggerText);
        if (m_extract) {
            try {
                m_extract(path, m_extractChoice);
            } catch (const std::exception& e) {
                m_warnings.show(format(kUploadErrorTitleFormat, run), extractionFailedText(path, e));
            }
        }
    }
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
