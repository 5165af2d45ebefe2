#include "ports/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace cv {

std::string DeviceLock::lockDirectory() {
    if (const char* dir = std::getenv("CVHOST_LOCK_DIR"); dir && *dir) return dir;
    if (::access("/run/lock", W_OK) == 0) return "/run/lock";
    return "/tmp";
}

std::string DeviceLock::lockPathFor(const std::string& device) {
    std::error_code ec;
    std::string real = std::filesystem::weakly_canonical(device, ec).string();
    if (ec || real.empty()) real = device;
    std::string name;
    for (char c : real) name += (c == '/' || c == '\\') ? '_' : c;
    while (!name.empty() && name.front() == '_') name.erase(0, 1);
    return lockDirectory() + "/cvhost-" + name + ".lock";
}

bool DeviceLock::take(const std::string& device) {
    m_taken = false;
    if (held() && device == m_device) return true;
    release();
    const std::string path = lockPathFor(device);
    // Read-only is enough for flock, and lets a user's window lock a file a service made.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return true;
    // Whoever comes next must be able to open the file to find it locked: a service's
    // restrictive umask would otherwise make its lock invisible to the operator's window.
    // Only the file's owner may change it, which is enough: the owner made it.
    [[maybe_unused]] const int kept = ::fchmod(fd, 0644);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_taken = errno == EWOULDBLOCK;
        ::close(fd);
        return !m_taken;
    }
    m_fd = fd;
    m_device = device;
    return true;
}

void DeviceLock::release() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    m_device.clear();
}

} // namespace cv
