#include "memory/off_tick_extraction.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

#include "base/text_format.h"
#include "extract/warning_sink.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace {
const char* const kExtractFailedFormat = "Extraction of %s failed: %s";
const char* const kUnexpectedFailure = "unexpected error";
} // namespace

std::string extractionFailedText(const std::filesystem::path& runFile, const std::string& reason) {
    return format(kExtractFailedFormat, runFile.string().c_str(), reason.c_str());
}

// What passes between one extraction on the lane and the tick.
struct OffTickExtraction::Feed : WarningSink {
    // lane side
    void warning(const std::string& title, const std::string& text) override {
        std::lock_guard lock(mutex);
        if (warnings.size() < kWaitingWarnings) warnings.emplace_back(title, text);
    }
    std::mutex mutex;
    std::deque<std::pair<std::string, std::string>> warnings;
    std::atomic<int> percent{-1};

    // tick side
    bool nextWarning(std::pair<std::string, std::string>& out) {
        std::lock_guard lock(mutex);
        if (warnings.empty()) return false;
        out = std::move(warnings.front());
        warnings.pop_front();
        return true;
    }
    int percentShown = -1;
    std::function<void(int)> progress;
    std::function<void(const Outcome&)> done;
};

OffTickExtraction::OffTickExtraction(JobLane& lane, WarningBox& warnings, ExtractRunFile extract)
    : m_lane(lane), m_warnings(warnings), m_extract(std::move(extract)) {}

OffTickExtraction::~OffTickExtraction() = default;

void OffTickExtraction::start(const std::filesystem::path& runFile, int choice, std::function<void(int)> progress,
                              std::function<void(const Outcome&)> done) {
    auto feed = std::make_shared<Feed>();
    feed->progress = std::move(progress);
    feed->done = std::move(done);
    m_feeds.push_back(feed);
    m_lane.post([this, feed, extract = m_extract, runFile, choice, lane = &m_lane]() -> JobLane::Answer {
        auto outcome = std::make_shared<Outcome>();
        const auto tell = [&feed, lane](int percent) {
            feed->percent.store(percent);
            lane->notifyHandingThread();
        };
        try {
            outcome->result = extract(runFile, choice, *feed, tell);
        } catch (const std::exception& e) {
            outcome->failure = e.what();
        } catch (...) {
            outcome->failure = kUnexpectedFailure;
        }
        return [this, feed, outcome] {
            showNews(*feed);
            std::erase(m_feeds, feed);
            if (feed->done) feed->done(*outcome);
        };
    });
}

void OffTickExtraction::relay() {
    // A box opened below may run the ticks, and with them this again: work on a copy.
    const std::vector<std::shared_ptr<Feed>> feeds = m_feeds;
    for (const auto& feed : feeds) showNews(*feed);
}

void OffTickExtraction::showNews(Feed& feed) {
    // One warning at a time: a box's own loop may show the next ones, still in their order.
    std::pair<std::string, std::string> warning;
    while (feed.nextWarning(warning)) m_warnings.show(warning.first, warning.second);
    const int percent = feed.percent.load();
    if (percent > feed.percentShown) {
        feed.percentShown = percent;
        if (feed.progress) feed.progress(percent);
    }
}

} // namespace cv
