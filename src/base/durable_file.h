#pragma once
// Replacing a small file so that a crash, a full disk or a power cut leaves either the old file
// or the new one whole, never a part of either: the bytes go into a temporary file beside it,
// reach the disk, and are renamed over the old name, and the folder's entry reaches the disk too.
#include <cstddef>
#include <filesystem>

namespace cv {

enum class ReplaceOutcome {
    Ok,
    CannotCreate,  // the temporary file could not be made (no folder, no permission, a name in the way)
    WriteFailed,   // the bytes, their flush or the rename failed; the old file is as it was
};

// The temporary is `file` with ".tmp" appended; it is removed again whenever the outcome is not
// Ok. A file that was there keeps its permission bits.
ReplaceOutcome replaceFile(const std::filesystem::path& file, const void* data, size_t size);

} // namespace cv
