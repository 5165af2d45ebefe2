#pragma once
// Extraction of a run file on the file lane, so that a long run never stops the ticks: its
// warnings and its progress come back to the tick while it runs, its result when it ends.
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/job_lane.h"
#include "extract/run_extraction.h"

namespace cv {

class WarningBox;
class WarningSink;

// Extracts one run file with the extraction choice (0 archive only, 1 archive plus raw files),
// giving its warnings to `warnings` and the share of the file read to `progress`, and says what
// it wrote. It runs on the file lane: it may touch nothing the ticks use.
using ExtractRunFile = std::function<ExtractionResult(const std::filesystem::path& runFile, int choice,
                                                      WarningSink& warnings, const std::function<void(int)>& progress)>;

// The box text of an extraction that failed (threw), after an upload and on demand alike.
std::string extractionFailedText(const std::filesystem::path& runFile, const std::string& reason);

class OffTickExtraction {
public:
    struct Outcome {
        ExtractionResult result;
        std::string failure;  // why the extraction threw; empty when it did not
    };
    // At most this many warnings wait for the tick; the warning box shows no more than ten at
    // a time anyway, and a damaged file may give one for every record.
    static constexpr size_t kWaitingWarnings = 100;

    OffTickExtraction(JobLane& lane, WarningBox& warnings, ExtractRunFile extract);
    ~OffTickExtraction();
    OffTickExtraction(const OffTickExtraction&) = delete;
    OffTickExtraction& operator=(const OffTickExtraction&) = delete;

    bool available() const { return bool(m_extract); }
    // Queues the extraction; `progress` (percent) and `done` are called on the tick.
    void start(const std::filesystem::path& runFile, int choice, std::function<void(int)> progress,
               std::function<void(const Outcome&)> done);
    bool running() const { return !m_feeds.empty(); }
    // On the tick: shows the warnings and the progress that came since the last call.
    void relay();

private:
    struct Feed;
    void showNews(Feed& feed);

    JobLane& m_lane;
    WarningBox& m_warnings;
    ExtractRunFile m_extract;
    std::vector<std::shared_ptr<Feed>> m_feeds;  // extractions queued or running, oldest first
};

} // namespace cv
