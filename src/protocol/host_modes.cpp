#include "protocol/host_modes.h"

#include "base/logger_codes.h"
#include "base/text_format.h"

namespace cv::hostmode {

const std::array<TabPage, kTabCount> kTabPages{{{"TSPortSetup", "Port Setup"},
                                                {"TSLoggerControl", "Logger Control"},
                                                {"TSDataStatus", "Data Status"},
                                                {"TSUpload", "Upload Logger Data"},
                                                {"TSRealTime", "Real Time Data"},
                                                {"TSRecord", "Recording:  OFF"},
                                                {"TSPCLogger", "PC-Logger"},
                                                {"TSHardware", "Hardware Configuration"},
                                                {"TSAnalog", "Analog Calibration"},
                                                {"TSPlotSetup", "Plot Setup"}}};

const std::array<const char*, 6> kReplayControls{"ReplayArchiveBT", "ReplayContinuousBT", "ReplaySpeedLB1",
                                                 "ReplaySpeedLB2",  "ReplaySpeedUD",      "ReplaySpeedEdit"};

namespace {

constexpr bool Y = true;
constexpr bool N = false;
using PC = PortsToClose;

//                     mode  close             PS LC DS UP RT RC PCL  auto  ModeCB       FileCB    OutputCB  TimeSrc   PStore LSGB Port Power RunStop RunNo Replay
const std::array<Layout, 7> kLayouts{{
    {kNone,            PC::PcLoggerPorts, {N, N, N, N, N, N, N}, N, {N, 0},      {N, 0}, {N, 0}, {N, 0}, N, Y, Y, N, N, N, N},
    {kAnalogOutput,    PC::PcLoggerPorts, {Y, Y, N, N, Y, Y, N}, Y, {N, 3},      {N, 0}, {N, 3}, {N, 0}, Y, Y, Y, N, N, N, N},
    {kMooredLogging,   PC::PcLoggerPorts, {Y, Y, Y, Y, N, N, N}, N, {N, 1},      {N, 1}, {N, 0}, {N, 0}, Y, Y, Y, N, N, Y, N},
    {kProfileLogging,  PC::PcLoggerPorts, {Y, Y, Y, Y, N, N, N}, N, {N, 0},      {N, 1}, {N, 0}, {N, 0}, Y, Y, Y, N, Y, Y, N},
    {kRealTimeOutput,  PC::None,          {Y, Y, Y, N, Y, Y, Y}, N, {N, 2},      {N, 0}, {N, 1}, {N, 0}, Y, Y, Y, N, N, N, Y},
    {kAdvancedUser,    PC::None,          {Y, Y, Y, Y, Y, Y, Y}, N, {Y, kKeep},  {Y, 0}, {Y, 1}, {N, 0}, Y, Y, Y, Y, Y, Y, Y},
    {kPcLogger,        PC::LoggerPort,    {N, N, N, N, Y, Y, Y}, N, {Y, 2},      {Y, 0}, {Y, 1}, {N, 0}, N, N, N, N, N, N, N},
}};

// Columns: modes -1, 1, 2, 3, 4, 5, 8.
struct MenuRow {
    std::vector<const char*> items;
    std::array<bool, 7> shown;
};
const std::vector<MenuRow> kMenuRows{
    {{"MenuFactorySettings", "ResetToMonitor"},                              {Y, Y, Y, Y, Y, Y, N}},
    {{"MenuChangeLoggerID", "N2"},                                           {N, N, N, N, N, Y, N}},
    {{"AnalogCal", "HardwareConfig"},                                        {N, N, Y, Y, Y, Y, N}},
    {{"LoadDefaultFlashSetup", "ToggleDebug", "N11"},                        {N, N, N, N, N, Y, N}},
    {{"N1"},                                                                 {N, N, Y, Y, Y, Y, N}},
    {{"MenuAnnotateFile"},                                                   {N, N, N, N, N, Y, Y}},
    {{"MenuLoggerTimeUpdate", "MenuAutoTimeUpdate", "MenuUpdateTimeNow"},    {N, N, Y, Y, Y, Y, N}},
    {{"MenuMooredTimeUpdate", "Menubq5PassThru"},                            {N, N, N, N, N, N, N}},
    {{"N5", "MenuTestOneSerialPort"},                                        {N, N, N, Y, Y, Y, N}},
    {{"N10", "ChangeHostInterface"},                                         {N, N, N, N, N, Y, N}},
};

int menuColumn(int mode) {
    switch (mode) {
    case kNone: return 0;
    case kAnalogOutput: return 1;
    case kMooredLogging: return 2;
    case kProfileLogging: return 3;
    case kRealTimeOutput: return 4;
    case kAdvancedUser: return 5;
    case kPcLogger: return 6;
    default: return -1;
    }
}

} // namespace

const Layout* layoutFor(int mode) {
    for (const Layout& l : kLayouts)
        if (l.mode == mode) return &l;
    return nullptr;
}

std::vector<std::pair<std::string, bool>> menuItemsFor(int mode) {
    std::vector<std::pair<std::string, bool>> out;
    const int column = menuColumn(mode);
    if (column < 0) return out;
    for (const MenuRow& row : kMenuRows)
        for (const char* item : row.items) out.emplace_back(item, row.shown[size_t(column)]);
    return out;
}

std::string hostModeName(int mode) {
    switch (mode) {
    case kNone: return "No Mode Selected";
    case kAnalogOutput: return "Analog Output";
    case kMooredLogging: return "Moored Logging";
    case kProfileLogging: return "Profile Logging";
    case kRealTimeOutput: return "Real Time Data";
    case kAdvancedUser: return "Advanced User";
    case kBq5PassThru: return "No Mode Selected";
    case kPcLogger: return "PC Logger";
    default: return "Invalid Mode";
    }
}

std::string loggerModeText(int operatingMode, bool integratedMeter) {
    switch (operatingMode) {
    case loggermode::kProfile: return "Profile Logging      ";
    case loggermode::kMoored: return "Moored Logging       ";
    case loggermode::kRealTime: return "Real Time Data       ";
    case loggermode::kAnalog: return "Analog Output        ";
    case loggermode::kPolledMoored: return "Polled-Moored Logging";
    default: break;
    }
    if (operatingMode < loggermode::kDirectToFirstPort || operatingMode > loggermode::kDirectToLastPort)
        return "Unknown Mode";
    const int port = operatingMode - loggermode::kDirectToFirstPort + 1;  // 1..8 as the logger numbers its ports
    if (!integratedMeter) return format("Direct To PORT%d", port);
    // With the meter on port 1 the other ports are numbered from 1, as on the port rows.
    if (port == 1) return "Direct To bq5";
    return format("Direct To PORT%d", port - 1);
}

std::optional<Shade> modeReadoutShade(int hostMode, bool loggerModeShown, int shownLoggerMode) {
    if (!loggerModeShown) return Shade::ButtonFace;
    int expected;
    switch (hostMode) {
    case kAnalogOutput: expected = loggermode::kAnalog; break;
    case kMooredLogging: expected = loggermode::kMoored; break;
    case kProfileLogging: expected = loggermode::kProfile; break;
    case kRealTimeOutput: expected = loggermode::kRealTime; break;
    case kNone:
    case kAdvancedUser:
    case kBq5PassThru:
    case kPcLogger: return Shade::ButtonFace;
    default: return std::nullopt;
    }
    return shownLoggerMode == expected ? Shade::ButtonFace : Shade::Red;
}

const char* const kRealTimeSameModeNote =
    "\"Real Time Data\" here and \"Real Time Output\" in the Modes menu are the same mode.";

std::string modeReadoutNote(int hostMode, bool loggerModeShown, int shownLoggerMode, bool integratedMeter) {
    auto trimmed = [](std::string s) {
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    };
    std::string note;
    if (modeReadoutShade(hostMode, loggerModeShown, shownLoggerMode) == Shade::Red)
        note = format("Red: the logger runs in %s, but this host is laid out for %s. Send a setup with the host's "
                      "mode (Logger Control page), or choose the logger's mode from the Modes menu.",
                      trimmed(loggerModeText(shownLoggerMode, integratedMeter)).c_str(), hostModeName(hostMode).c_str());
    const bool realTimeShown =
        hostMode == kRealTimeOutput || (loggerModeShown && shownLoggerMode == loggermode::kRealTime);
    if (realTimeShown) note += (note.empty() ? "" : "\n") + std::string(kRealTimeSameModeNote);
    return note;
}

} // namespace cv::hostmode
