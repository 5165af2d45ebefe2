// What each host mode shows: tabs, combos, panels and menu items, and the mode readouts.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>

#include <algorithm>
#include <array>
#include <ostream>
#include <string_view>
#include <vector>

#include "protocol/host_modes.h"
#include "setup/logger_status_panel.h"
#include "setup/record_builders.h"
#include "setup/setup_fixture.h"
#include "setup/setup_screen_qt.h"
#include "widgets/colours.h"

namespace cv::test {
namespace {

QColor colourOf(const SetupRig& rig, const char* name) { return shownColour(rig.w<QWidget>(name)); }

// ---- host mode layouts ----

struct ModeExpectation {
    int mode;
    std::vector<const char*> tabsShown;  // of the ten pages, the others hidden
    // ModeCB, FileCB, OutputCB, TimeSourceCB: shown and item
    std::array<std::pair<bool, int>, 4> combos;
    bool autoStart;
    std::vector<const char*> panelsShown;  // of kPanels
    std::vector<const char*> menusShown;   // of kMenus
    bool deckPortsClosed;
    bool loggerPortClosed;
};

const std::vector<const char*> kTabs{"TSPortSetup", "TSLoggerControl", "TSDataStatus", "TSUpload",   "TSRealTime",
                                     "TSRecord",    "TSPCLogger",      "TSHardware",   "TSAnalog",   "TSPlotSetup"};
const std::vector<const char*> kPanels{"PStore",   "LoggerStatusGB", "PLoggerPort", "COMStatus",     "LoggerPortGB",
                                       "LBPower",  "LBRunStop",      "LBRunNumber", "FlashPanel",    "RemoteHostPanel",
                                       "ReplayArchiveBT", "ReplaySpeedUD"};
const std::vector<const char*> kMenus{
    "MenuFactorySettings", "ResetToMonitor",   "MenuChangeLoggerID",   "N2",  "AnalogCal",
    "HardwareConfig",      "LoadDefaultFlashSetup", "ToggleDebug",     "N11", "N1",
    "MenuAnnotateFile",    "MenuLoggerTimeUpdate",  "MenuAutoTimeUpdate", "MenuUpdateTimeNow",
    "MenuMooredTimeUpdate", "N5",              "MenuTestOneSerialPort", "N10", "ChangeHostInterface",
    "Menubq5PassThru",     "MenuLoggerPortSetup"};

const std::vector<const char*> kLoggerPortItems{"PLoggerPort", "COMStatus", "LoggerPortGB"};
const std::vector<const char*> kCommon{"MenuFactorySettings", "ResetToMonitor", "MenuLoggerPortSetup"};

std::vector<const char*> join(std::vector<const char*> a, const std::vector<const char*>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<const char*> kTimeMenus{"MenuLoggerTimeUpdate", "MenuAutoTimeUpdate", "MenuUpdateTimeNow"};

const ModeExpectation kModeTable[] = {
    {-1, {}, {{{false, 0}, {false, 0}, {false, 0}, {false, 0}}}, false,
     join({"LoggerStatusGB"}, kLoggerPortItems), kCommon, true, false},
    {1, {"TSPortSetup", "TSLoggerControl", "TSRealTime", "TSRecord"},
     {{{false, 3}, {false, 0}, {false, 3}, {false, 0}}}, true, join({"PStore", "LoggerStatusGB"}, kLoggerPortItems),
     kCommon, true, false},
    {2, {"TSPortSetup", "TSLoggerControl", "TSDataStatus", "TSUpload"},
     {{{false, 1}, {false, 1}, {false, 0}, {false, 0}}}, false,
     join({"PStore", "LoggerStatusGB", "LBRunNumber"}, kLoggerPortItems),
     join(join(kCommon, {"AnalogCal", "HardwareConfig", "N1"}), kTimeMenus), true, false},
    {3, {"TSPortSetup", "TSLoggerControl", "TSDataStatus", "TSUpload"},
     {{{false, 0}, {false, 1}, {false, 0}, {false, 0}}}, false,
     join({"PStore", "LoggerStatusGB", "LBRunStop", "LBRunNumber"}, kLoggerPortItems),
     join(join(kCommon, {"AnalogCal", "HardwareConfig", "N1", "N5", "MenuTestOneSerialPort"}), kTimeMenus), true,
     false},
    {4, {"TSPortSetup", "TSLoggerControl", "TSDataStatus", "TSRealTime", "TSRecord", "TSPCLogger"},
     {{{false, 2}, {false, 0}, {false, 1}, {false, 0}}}, false,
     join({"PStore", "LoggerStatusGB", "ReplayArchiveBT", "ReplaySpeedUD"}, kLoggerPortItems),
     join(join(kCommon, {"AnalogCal", "HardwareConfig", "N1", "N5", "MenuTestOneSerialPort"}), kTimeMenus), false,
     false},
    {5, {"TSPortSetup", "TSLoggerControl", "TSDataStatus", "TSUpload", "TSRealTime", "TSRecord", "TSPCLogger"},
     {{{true, 2}, {true, 0}, {true, 1}, {false, 0}}}, false,
     join({"PStore", "LoggerStatusGB", "LBPower", "LBRunStop", "LBRunNumber", "ReplayArchiveBT", "ReplaySpeedUD"},
          kLoggerPortItems),
     join(join(kCommon, {"MenuChangeLoggerID", "N2", "AnalogCal", "HardwareConfig", "LoadDefaultFlashSetup",
                         "ToggleDebug", "N11", "N1", "MenuAnnotateFile", "N5", "MenuTestOneSerialPort", "N10",
                         "ChangeHostInterface"}),
          kTimeMenus),
     false, false},
    {8, {"TSRealTime", "TSRecord", "TSPCLogger"}, {{{true, 2}, {true, 0}, {true, 1}, {false, 0}}}, false, {},
     {"MenuAnnotateFile"}, false, true},
};

void PrintTo(const ModeExpectation& e, std::ostream* os) { *os << "host mode " << e.mode; }

class HostModeLayout : public ::testing::TestWithParam<ModeExpectation> {};

TEST_P(HostModeLayout, TabsCombosPanelsAndMenus) {
    const ModeExpectation& e = GetParam();
    SetupRig rig;
    // Start from the opposite of what the mode should leave, so every line is really set.
    rig.screen->setupDisplayMode(e.mode == 5 ? -1 : 5);
    rig.w<QComboBox>("ModeCB")->setCurrentIndex(-1);
    rig.screen->loggerStatusPanel()->showReportingLook();  // as after the first status
    rig.screen->setupDisplayMode(e.mode);

    for (const char* tab : kTabs) {
        const bool expected = std::find(e.tabsShown.begin(), e.tabsShown.end(), std::string_view(tab)) != e.tabsShown.end();
        EXPECT_EQ(rig.tabShown(tab), expected) << tab;
    }
    const char* combos[4][2] = {{"ModeCB", "ModeLB"}, {"FileCB", "FileLB"}, {"OutputCB", "OutputLB"}, {"TimeSourceCB", "TimeSourceLB"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rig.shown(combos[i][0]), e.combos[size_t(i)].first) << combos[i][0];
        EXPECT_EQ(rig.shown(combos[i][1]), e.combos[size_t(i)].first) << combos[i][1];
        EXPECT_EQ(rig.w<QComboBox>(combos[i][0])->currentIndex(), e.combos[size_t(i)].second) << combos[i][0];
    }
    EXPECT_TRUE(rig.shown("CBAutoStart"));
    EXPECT_EQ(rig.w<QCheckBox>("CBAutoStart")->isChecked(), e.autoStart);
    for (const char* panel : kPanels) {
        const bool expected = std::find(e.panelsShown.begin(), e.panelsShown.end(), std::string_view(panel)) != e.panelsShown.end();
        EXPECT_EQ(rig.shown(panel), expected) << panel;
    }
    for (const char* menu : kMenus) {
        const bool expected = std::find(e.menusShown.begin(), e.menusShown.end(), std::string_view(menu)) != e.menusShown.end();
        EXPECT_EQ(rig.shown(menu), expected) << menu;
    }
    // The PC logger's page applies this part of the layout.
    EXPECT_EQ(hostmode::layoutFor(e.mode)->close == hostmode::PortsToClose::PcLoggerPorts, e.deckPortsClosed);
    EXPECT_EQ(rig.w<QComboBox>("LoggerPortCB")->currentIndex() == 0, e.loggerPortClosed);
    EXPECT_EQ(!rig.sink.line->isOpen, e.loggerPortClosed);
    EXPECT_EQ(rig.screen->currentHostMode(), e.mode);
    // The Modes menu shows the mode the screen is laid out for, and only that one.
    const std::pair<const char*, int> modeItems[] = {{"MenuAnalog", 1},   {"MenuMoored", 2},  {"MenuProfile", 3},
                                                     {"MenuRealTimeOutput", 4}, {"MenuAdvanced", 5}, {"PCLogger", 8}};
    for (const auto& [item, mode] : modeItems) {
        EXPECT_TRUE(rig.action(item)->isCheckable()) << item;
        EXPECT_EQ(rig.action(item)->isChecked(), mode == e.mode) << item;
    }
    if (e.panelsShown.size() && std::string_view(e.panelsShown[0]) == "PStore") {
        EXPECT_EQ(rig.text("PStore"), "Setup is Not Current");
        EXPECT_EQ(colourOf(rig, "PStore"), shadeColour(Shade::Yellow));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, HostModeLayout, ::testing::ValuesIn(kModeTable),
                         [](const auto& info) { return info.param.mode < 0 ? std::string("None") : std::to_string(info.param.mode); });

TEST(HostModes, MooredLoggingShowsIntervalAndSleepControls) {
    SetupRig rig;
    rig.trigger("MenuMoored");
    EXPECT_FALSE(rig.shown("ModeCB"));
    EXPECT_EQ(rig.w<QComboBox>("ModeCB")->currentText(), "Moored Mode");
    EXPECT_EQ(rig.w<QComboBox>("FileCB")->currentText(), "CV Archive Files");
    EXPECT_EQ(rig.w<QComboBox>("OutputCB")->currentText(), "Status");
    for (const char* name : {"LBSampleInterval", "IntervalUD", "IntervalEdit", "IntervalCombo", "BTSleep"})
        EXPECT_TRUE(rig.shown(name)) << name;
    EXPECT_TRUE(rig.shown("SOPH1")) << "once-per-hour boxes follow the port rows";
    EXPECT_TRUE(rig.shown("SOPHLB1"));
    EXPECT_EQ(rig.text("HostMode"), "Moored Logging");
    EXPECT_TRUE(rig.screen->moored());

    rig.trigger("MenuProfile");
    for (const char* name : {"LBSampleInterval", "IntervalUD", "BTSleep", "SOPH1", "SOPHLB1", "AOPH1", "POPHLB2"})
        EXPECT_FALSE(rig.shown(name)) << name;
}

TEST(HostModes, AdvancedUserKeepsPolledMooredAndShowsThePolledButtons) {
    SetupRig rig;
    rig.screen->setupDisplayMode(2);
    rig.w<QComboBox>("ModeCB")->setCurrentIndex(12);
    rig.trigger("MenuAdvanced");
    EXPECT_EQ(rig.w<QComboBox>("ModeCB")->currentIndex(), 12);
    EXPECT_EQ(rig.w<QComboBox>("FileCB")->currentText(), "No Data Storage");
    EXPECT_EQ(rig.w<QComboBox>("OutputCB")->currentText(), "Real Time Data + Status");
    for (const char* name : {"Button1", "Button2", "Button3", "Button4"}) EXPECT_TRUE(rig.shown(name)) << name;
    rig.choose("ModeCB", 0);
    for (const char* name : {"Button1", "Button2", "Button3", "Button4"}) EXPECT_FALSE(rig.shown(name)) << name;
}

TEST(HostModes, RequestsWithoutLayoutChangeOnlyTheReadout) {
    SetupRig rig;
    rig.screen->setupDisplayMode(5);
    rig.screen->setSetupMarker(1);
    rig.screen->modeMenuClick(7);  // the item itself is hidden by every layout
    EXPECT_TRUE(rig.tabShown("TSPCLogger"));
    EXPECT_TRUE(rig.shown("ModeCB"));
    EXPECT_EQ(rig.text("HostMode"), "No Mode Selected");
    EXPECT_EQ(rig.text("PStore"), "Setup is Current") << "no value of the setup changed";
    rig.screen->setupDisplayMode(6);
    EXPECT_EQ(rig.text("HostMode"), "Invalid Mode");
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    rig.screen->setupDisplayMode(0);
    EXPECT_TRUE(rig.dialogs.saw("HD", "Disp Done"));
    EXPECT_TRUE(rig.tabShown("TSPCLogger"));
}

TEST(HostModes, ModeReadoutsTurnRedWhenTheLoggerRunsAnotherMode) {
    SetupRig rig;
    rig.screen->setupDisplayMode(2);
    rig.deliverSetup(SetupRecordBuilder().mode(0).build());
    EXPECT_EQ(rig.text("LoggerMode"), "Profile Logging      ");
    EXPECT_EQ(colourOf(rig, "LoggerMode"), shadeColour(Shade::Red));
    EXPECT_EQ(colourOf(rig, "HostMode"), shadeColour(Shade::Red));
    rig.trigger("MenuAdvanced");
    EXPECT_EQ(colourOf(rig, "LoggerMode"), shadeColour(Shade::ButtonFace));
    EXPECT_EQ(colourOf(rig, "HostMode"), shadeColour(Shade::ButtonFace));
    rig.trigger("MenuProfile");
    EXPECT_EQ(colourOf(rig, "HostMode"), shadeColour(Shade::ButtonFace));
}

// Why the read-outs are red is told beside the colour, to the eye and to a screen reader, and the
// two names of the real-time mode are said to be one.
TEST(HostModes, RedModeReadoutsSayWhyAndTheRealTimeNamesAreOneMode) {
    SetupRig rig;
    rig.screen->setupDisplayMode(2);
    rig.deliverSetup(SetupRecordBuilder().mode(0).build());
    for (const char* name : {"HostMode", "LoggerMode"}) {
        const QWidget* w = rig.w<QWidget>(name);
        EXPECT_NE(w->toolTip().indexOf("Profile Logging, but this host is laid out for Moored Logging"), -1) << name;
        EXPECT_NE(w->accessibleDescription().indexOf(w->toolTip()), -1) << name;
    }
    rig.trigger("MenuRealTimeOutput");
    EXPECT_EQ(rig.text("HostMode"), "Real Time Data");
    EXPECT_NE(rig.w<QWidget>("HostMode")->toolTip().indexOf("\"Real Time Output\" in the Modes menu are the same mode"), -1);
    EXPECT_EQ(rig.action("MenuRealTimeOutput")->toolTip(), rig.w<QWidget>("HostMode")->toolTip().section('\n', -1));
    rig.trigger("MenuAdvanced");
    EXPECT_EQ(rig.w<QWidget>("HostMode")->toolTip(), "") << "matching modes: nothing to explain";
}

// A mode is a view of the setup: the marker changes only when the mode's presets change a value.
struct MarkerCase {
    const char* name;
    const char* menuItem;
    const char* marker;
};

class ModeSwitchMarker : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(ModeSwitchMarker, FollowsOnlyAChangedSetupValue) {
    SetupRig rig;
    rig.screen->setupDisplayMode(4);  // real time: mode 2, no storage, output on
    rig.deliverSetup(SetupRecordBuilder().mode(2).output(1).file(0).build());
    ASSERT_EQ(rig.text("PStore"), "Setup is Current");
    rig.trigger(GetParam().menuItem);
    EXPECT_EQ(rig.text("PStore"), GetParam().marker);
}

INSTANTIATE_TEST_SUITE_P(FromRealTime, ModeSwitchMarker,
                         ::testing::Values(MarkerCase{"AdvancedUserChangesNothing", "MenuAdvanced", "Setup is Current"},
                                           MarkerCase{"ProfilePresetsAnotherMode", "MenuProfile", "Setup is Not Current"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostModes, MooredTimeSourceMenuTogglesTheTimeSourceCombo) {
    SetupRig rig;
    rig.screen->setupDisplayMode(2);
    rig.action("MenuMooredTimeUpdate")->setVisible(true);  // as a host setup file may do
    rig.trigger("MenuMooredTimeUpdate");
    EXPECT_TRUE(rig.shown("TimeSourceCB"));
    EXPECT_TRUE(rig.shown("TimeSourceLB"));
    rig.trigger("MenuMooredTimeUpdate");
    EXPECT_FALSE(rig.shown("TimeSourceCB"));
}

} // namespace
} // namespace cv::test
