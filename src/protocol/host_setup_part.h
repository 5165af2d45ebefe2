#pragma once
// The host setup file holds the host's own settings in 22 numbered lines of integers. Each
// subsystem's screen controller writes and applies its own values: the file code reads and
// checks the lines and hands each one to every part in line order.
#include <vector>

namespace cv {

// The file's lines by number, in the order they are written and read.
namespace hostline {
constexpr int kLoggerPort = 1;        // logger port, its speed, the setup screen's host port speed
constexpr int kHostMode = 2;
constexpr int kWindow = 3;            // state, height, width
constexpr int kEmptyText = 4;         // no values, an empty text after them
constexpr int kTabs = 5;
constexpr int kMenus = 6;
constexpr int kUnused7 = 7;
constexpr int kTimeSource = 8;
constexpr int kAutoStart = 9;
constexpr int kPortSetupMenu = 10;
constexpr int kUnused11 = 11;
constexpr int kUnused12 = 12;
constexpr int kExtraction = 13;       // extraction choice and the raw display's selection
constexpr int kPcLoggerRate = 14;
constexpr int kPcLoggerPorts = 15;
constexpr int kPcLoggerSpeeds = 16;
constexpr int kPcLoggerFunctions = 17;
constexpr int kPcLoggerOutputIds = 18;
constexpr int kPcLoggerOutputPorts = 19;
constexpr int kReplay = 20;
constexpr int kSetupBoxes = 21;       // mode, file and output boxes
constexpr int kPlotFile = 22;         // the last: after it the PC logger lines are taken over whole
constexpr int kCount = 22;
} // namespace hostline

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
