#pragma once
// Where the recorder's files live: the real file system in the program, and in tests a store
// that can refuse to open, fill up or fail to cut a partial record back, so that every storage
// fault of a weeks-long recording can be rehearsed.
#include <cstddef>
#include <cstdint>
#include <string>

namespace cv {

class ArchiveFiles {
public:
    virtual ~ArchiveFiles() = default;
    // Opens the file for appending, creating it when absent, emptied first with `truncate`.
    // A handle >= 0, or -errno.
    virtual int open(const std::string& path, bool truncate) = 0;
    // The file's size in bytes; 0 for something that is not a regular file.
    virtual int64_t size(int handle) = 0;
    // A file on a disk, not a device or a pipe: only such a file gets a time index beside it.
    virtual bool regularFile(int handle) { return handle >= 0; }
    // Writes what it can: the count written (possibly short), or -errno when nothing went.
    virtual long write(int handle, const uint8_t* data, size_t count) = 0;
    // Cuts the file back to `length` bytes.
    virtual bool truncate(int handle, int64_t length) = 0;
    // Puts what was written on the disk itself, so a power cut cannot take it.
    virtual bool flush(int handle) = 0;
    virtual void close(int handle) = 0;
};

// The file system, through POSIX calls.
ArchiveFiles& systemArchiveFiles();

} // namespace cv
