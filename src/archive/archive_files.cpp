#include "archive/archive_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

class SystemArchiveFiles : public ArchiveFiles {
public:
    int open(const std::string& path, bool truncate) override {
        // Appending in every mode: after a record cut short is taken back, the next one must land
        // at the new end of the file, not where the cut one stopped (which would leave a hole).
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND | (truncate ? O_TRUNC : 0);
        const int fd = ::open(path.c_str(), flags, 0644);
        return fd >= 0 ? fd : -errno;
    }
    int64_t size(int handle) override {
        struct stat st {};
        return ::fstat(handle, &st) == 0 && S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
    }
    bool regularFile(int handle) override {
        struct stat st {};
        return ::fstat(handle, &st) == 0 && S_ISREG(st.st_mode);
    }
    long write(int handle, const uint8_t* data, size_t count) override {
        for (;;) {
            const ssize_t n = ::write(handle, data, count);
            if (n >= 0) return long(n);
            if (errno != EINTR) return -errno;
        }
    }
    bool truncate(int handle, int64_t length) override { return ::ftruncate(handle, off_t(length)) == 0; }
    bool flush(int handle) override {
        // Devices and pipes cannot be flushed and need not be.
        return ::fdatasync(handle) == 0 || errno == EINVAL || errno == EROFS;
    }
    void close(int handle) override { ::close(handle); }
};

} // namespace

ArchiveFiles& systemArchiveFiles() {
    // Never destroyed: a writer thread given up on may still close its file while the program ends.
    static auto* files = new SystemArchiveFiles;
    return *files;
}

} // namespace cv
