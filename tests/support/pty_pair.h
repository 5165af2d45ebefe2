#pragma once
#include <string>

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

} // namespace cv::test
