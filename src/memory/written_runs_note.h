#pragma once
// The line the Upload Logger Data page keeps of what an upload put on disk, so the operator knows
// where the runs went and which of them is short of what the directory listed.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cv {

class UploadView;

class WrittenRunsNote {
public:
    explicit WrittenRunsNote(UploadView& view) : m_view(view) {}

    // A new upload into `folder`: the line is emptied until its first run is written.
    void begin(const std::filesystem::path& folder);
    // A run file closed; a cut-short one is named with how much of it came.
    void add(const std::string& fileName, bool cutShort, int64_t received, int64_t expected);

private:
    UploadView& m_view;
    std::filesystem::path m_folder;
    std::vector<std::string> m_written;  // runs of this upload on disk, incomplete ones marked
};

} // namespace cv
