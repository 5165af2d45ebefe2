#pragma once
// One program at a time on a serial device: an exclusive lock on a file named for the device's
// real path, so that the window and a recorder (or two recorders) never read one port at once
// and each get half of the records. The lock goes with the process, so a crash frees the port.
#include <string>

namespace cv {

class DeviceLock {
public:
    DeviceLock() = default;
    ~DeviceLock() { release(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // True when this process now holds `device` (also when it held it already). False when
    // another holds it: taken() then says so. A lock file that cannot be made does not stop
    // the open (the port itself still decides).
    bool take(const std::string& device);
    void release();
    bool held() const { return m_fd >= 0; }
    bool taken() const { return m_taken; }

    // The folder of the lock files: $CVHOST_LOCK_DIR, else /run/lock, else /tmp.
    static std::string lockDirectory();
    // "<dir>/cvhost-dev_ttyUSB0.lock" for /dev/ttyUSB0 (links followed first).
    static std::string lockPathFor(const std::string& device);

private:
    int m_fd = -1;
    std::string m_device;
    bool m_taken = false;
};

} // namespace cv
