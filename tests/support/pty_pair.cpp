#include "support/pty_pair.h"

#include "simulator.h"

#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace cv::test {

PtyPair::PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    m_slaveKeep = slave;
    m_slavePath = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    if (m_master >= 0) ::close(m_master);
    if (m_slaveKeep >= 0) ::close(m_slaveKeep);
}

void pointLink(const std::string& link, const std::string& target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) throw std::runtime_error(link + " is not a symbolic link");
    fs::remove(link, ec);
    fs::create_symlink(target, link);
}

std::string replugSimulator(Kr8Simulator& simulator, const std::string& link) {
    simulator.line().stop();
    const std::string device = simulator.line().startPty();
    pointLink(link, device);
    return device;
}

} // namespace cv::test
