#pragma once
#include <string>

namespace cv {
class Kr8Simulator;
}

namespace cv::test {

// A pseudo-terminal pair in raw mode: the master side as a file descriptor, the slave as a
// device path that a serial port can open.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    int masterFd() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slaveKeep = -1;  // keeps the slave side alive between host opens
    std::string m_slavePath;
};

// Makes `link` a symbolic link to `target`, replacing an earlier link (never another file).
void pointLink(const std::string& link, const std::string& target);

// Pulls the simulated logger's line and plugs a new one in, as a USB adapter taken out and put
// back: closes its pseudo-terminal (a host holding it open sees a hang-up), opens a fresh one
// and points `link` at it. The logger keeps its state. Returns the new device path.
std::string replugSimulator(Kr8Simulator& simulator, const std::string& link);

} // namespace cv::test
