#pragma once
// The run directory, the upload and the other memory jobs wired to fakes, with a temporary upload folder.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "memory/logger_memory_commands.h"
#include "memory/on_demand_extraction.h"
#include "memory/run_directory.h"
#include "memory/upload_session.h"
#include "extract/warning_sink.h"
#include "memory_fakes.h"
#include "ports/operator_dialogs.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace cv::test {

struct ExtractCall {
    std::filesystem::path path;
    int choice;
    std::vector<uint8_t> contents;  // the run file as the extraction found it
};

inline int boxesTitled(const FakeDialogs& d, const std::string& caption) {
    int n = 0;
    for (const auto& b : d.boxes) n += b.caption == caption;
    return n;
}

struct UploadRig {
    UploadRig() = default;
    // File work on a lane of its own thread with room for `capacity` jobs, as in the program.
    explicit UploadRig(size_t capacity) : lane(capacity, JobLane::Mode::Threaded) {}

    TempDir dir;
    FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    CommandRecorder sink;
    FakeView view;
    std::vector<ExtractCall> extractions;
    // Runs inside the extraction, e.g. to warn or to tell progress.
    std::function<void(WarningSink&, const std::function<void(int)>&)> duringExtraction;
    ExtractionResult extractionResult;  // what the extraction answers
    bool extractionReadsTheFile = true; // false for a run file that can be read only once (a pipe)
    ExtractRunFile extract = [this](const std::filesystem::path& p, int choice, WarningSink& warnings,
                                    const std::function<void(int)>& progress) {
        extractions.push_back({p, choice, extractionReadsTheFile ? readFile(p) : std::vector<uint8_t>{}});
        if (duringExtraction) duringExtraction(warnings, progress);
        return extractionResult;
    };
    RunDirectory directory{warnings, view};
    // File work runs at once unless asked otherwise, so each step's effect is there when the
    // call returns.
    JobLane lane{UploadSession::kQueuedBlocks, JobLane::Mode::Inline};
    UploadSession session{directory, sink, warnings, dialogs, view, extract, nullptr, &lane};
    LoggerMemoryCommands memory{session, directory, sink, warnings, dialogs};
    OnDemandExtraction onDemand{session, warnings, dialogs, view, extract};

    void entry(int16_t run, uint32_t size) { directory.entryArrived(entryPacket(run, size)); }

    // Lists runs as a fresh directory read would (logger in standby).
    void listRuns(const std::vector<std::pair<int16_t, uint32_t>>& runs) {
        memory.getDirectory(9, "KR-8");
        for (const auto& [run, size] : runs) entry(run, size);
    }

    // Queues rows, answering the save dialog with `name` in the upload folder.
    void queue(const std::vector<int>& rows, const std::string& name = "run.xxx", int choice = 1) {
        dialogs.fileAnswers.push_back((dir.path() / name).string());
        session.queueSelection(rows, choice);
    }

    void block(uint16_t number, int16_t count, const std::vector<uint8_t>& data = {}, size_t from = 0) {
        session.blockArrived(uploadBlock(number, count, data, from));
    }

    // Sends a whole run as 1024-byte blocks numbered from `first`, then the zero-count block.
    uint16_t sendRun(const std::vector<uint8_t>& data, uint16_t first) {
        uint16_t number = first;
        for (size_t at = 0; at < data.size(); at += 1024) {
            const size_t n = std::min<size_t>(1024, data.size() - at);
            block(number++, int16_t(n), data, at);
        }
        block(number, 0);
        return number;
    }

    std::filesystem::path file(const std::string& name) const { return dir.path() / name; }
    int requests() const { return sink.countOf(cmd::kUploadRequest); }
};

} // namespace cv::test
