#include "service_notify.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <cstdlib>

namespace cv {

ServiceNotify::ServiceNotify() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    m_managed = socket && *socket;
    uint64_t usec = 0;
    // Also checks that the ping is meant for this process, not for a parent that started it.
    m_watchdog = m_managed && sd_watchdog_enabled(0, &usec) > 0;
}

void ServiceNotify::ready(const std::string& status) { send("READY=1\nSTATUS=" + status); }

void ServiceNotify::tick(const std::string& status) {
    send(std::string(m_watchdog ? "WATCHDOG=1\n" : "") + "STATUS=" + status);
}

void ServiceNotify::stopping() { send("STOPPING=1"); }

void ServiceNotify::send(const std::string& message) {
    if (!m_managed) return;
    // A manager that went away or a full queue costs one status, never the recording.
    sd_notify(0, message.c_str());
}

} // namespace cv
