#include "memory/written_runs_note.h"

#include "base/text_format.h"
#include "memory/upload_view.h"

namespace cv {

namespace {
const char* const kWrittenFormat = "Runs written to %s: %s";
const char* const kIncompleteFormat = "%s incomplete (%lld of %lld bytes)";
} // namespace

void WrittenRunsNote::begin(const std::filesystem::path& folder) {
    m_folder = folder;
    m_written.clear();
    m_view.setResultText("");
}

void WrittenRunsNote::add(const std::string& fileName, bool cutShort, int64_t received, int64_t expected) {
    if (cutShort)
        m_written.push_back(format(kIncompleteFormat, fileName.c_str(), static_cast<long long>(received),
                                   static_cast<long long>(expected)));
    else
        m_written.push_back(fileName);
    std::string runs;
    for (const std::string& run : m_written) runs += (runs.empty() ? "" : ", ") + run;
    m_view.setResultText(format(kWrittenFormat, m_folder.string().c_str(), runs.c_str()));
}

} // namespace cv
