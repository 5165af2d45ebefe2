#pragma once
// What the service manager is told when cvrecord runs as a unit of Type=notify: that it is ready
// (the port and the first file open), that its loop still runs (a ping from the one-second
// tick, so a recorder whose loop stopped is restarted), and a one-line status for
// `systemctl status`. Started any other way, nothing is sent and nothing changes.
#include <string>

namespace cv {

class ServiceNotify {
public:
    ServiceNotify();
    // The port and the first file are open.
    void ready(const std::string& status);
    // Once a second: the watchdog ping when one is asked for, and the status.
    void tick(const std::string& status);
    // The program is closing its file and ending.
    void stopping();

private:
    void send(const std::string& message);

    bool m_managed = false;
    bool m_watchdog = false;
};

} // namespace cv
