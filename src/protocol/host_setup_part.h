#pragma once
// The host setup file holds the host's own settings in 22 numbered lines of integers. Each
// subsystem's screen controller writes and applies its own values: the file code reads and
// checks the lines and hands each one to every part in line order.
#include <vector>

namespace cv {

struct HostSetupLoad {
    bool atStartup = true;        // false: opened from the Files menu
    bool currentVersion = true;   // the header names this program's version
};

class HostSetupPart {
public:
    virtual ~HostSetupPart() = default;
    // Puts this subsystem's values into line `number`; `values` comes sized to the line's count
    // and filled with zeros, and a part leaves the positions it does not own alone.
    virtual void writeHostSetupLine(int number, std::vector<int>& values) const = 0;
    // Applies line `number` as read (at least the line's count of values); a part ignores the
    // lines and positions it does not own.
    virtual void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) = 0;
};

} // namespace cv
