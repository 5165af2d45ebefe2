#pragma once
// Host modes: the kind of work the operator chose from the Modes menu. Each mode decides which
// tabs, panels, setup combo boxes and menu items exist on the screen and presets the operating
// mode, output and storage the next Send Setup carries. The layouts are data: each
// subsystem's screen controller applies its own part of them.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/shade.h"

namespace cv::hostmode {

constexpr int kNone = -1;
constexpr int kNoRequest = 0;
constexpr int kAnalogOutput = 1;
constexpr int kMooredLogging = 2;
constexpr int kProfileLogging = 3;
constexpr int kRealTimeOutput = 4;
constexpr int kAdvancedUser = 5;
constexpr int kPsm3Output = 6;
constexpr int kBq5PassThru = 7;
constexpr int kPcLogger = 8;

// The main window's pages in tab order, with their captions. A layout decides the first
// kLaidOutTabs; no host mode shows the others (the Commands menu opens the first two of them).
enum Tab { kTabPortSetup, kTabLoggerControl, kTabDataStatus, kTabUpload, kTabRealTime, kTabRecord, kTabPcLogger };
constexpr int kLaidOutTabs = 7;
constexpr int kTabCount = 10;
struct TabPage {
    const char* name;
    const char* caption;
};
extern const std::array<TabPage, kTabCount> kTabPages;

enum class PortsToClose { None, PcLoggerPorts, LoggerPort };

struct ComboPreset {
    bool shown;
    int index;  // kKeep: keep the selection, or kKeepDefault when there is none
};
constexpr int kKeep = -2;
constexpr int kKeepDefault = 2;  // ModeCB under Advanced User with no selection: "Real Time Mode"

struct Layout {
    int mode;
    PortsToClose close;
    std::array<bool, kLaidOutTabs> tabs;
    bool autoStartChecked;
    ComboPreset modeCB, fileCB, outputCB, timeSourceCB;
    bool setupMarker;       // PStore
    bool loggerStatus;      // LoggerStatusGB
    bool loggerPortItems;   // PLoggerPort, COMStatus, MenuLoggerPortSetup, LoggerPortGB
    bool power;             // LBPower
    bool runStop;           // LBRunStop
    bool runNumber;         // LBRunNumber
    bool replayControls;    // the Recording page's replay buttons and speed
};

// The layout of a host mode; nothing for the modes that change no layout (0, 6, 7, others).
const Layout* layoutFor(int mode);

// Shown/hidden state of the Commands and Logger_Port menu items under a laid-out mode.
std::vector<std::pair<std::string, bool>> menuItemsFor(int mode);

// The Recording page's replay controls, shown only where a layout says so (a host setup file
// may show them too).
extern const std::array<const char*, 6> kReplayControls;

// The text of HostMode for a requested mode.
std::string hostModeName(int mode);

// The logger operating mode as LoggerMode shows it.
std::string loggerModeText(int operatingMode, bool integratedMeter);

// Colour of both mode read-outs: button face when the logger's mode is not shown or fits the
// host mode, red when it contradicts it; nothing for host modes that leave the colours alone.
std::optional<Shade> modeReadoutShade(int hostMode, bool loggerModeShown, int shownLoggerMode);

// What the two read-outs tell beside their words: why they are red, and that "Real Time Data"
// is the mode the Modes menu calls "Real Time Output". Empty when there is nothing to tell.
std::string modeReadoutNote(int hostMode, bool loggerModeShown, int shownLoggerMode, bool integratedMeter);
extern const char* const kRealTimeSameModeNote;

} // namespace cv::hostmode
