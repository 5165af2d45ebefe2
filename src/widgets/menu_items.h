#pragma once
// The window's menu items, each named as the menus name it. The window makes them and lends
// them to the controllers that serve them, so no controller searches the window for one.
#include <string_view>

class QAction;

namespace cv {

struct MenuItems {
    // Files
    QAction* Files1 = nullptr;  // the menu itself
    QAction* LoadHostSetupFile = nullptr;
    QAction* StoreHostSetupFile = nullptr;
    QAction* Exit1 = nullptr;
    // Logger_Port
    QAction* MenuLoggerPortSetup = nullptr;  // the menu itself
    QAction* ShowLoggerPortSetup = nullptr;
    QAction* AutoBaudRateDetection = nullptr;
    QAction* HostPortStats = nullptr;
    QAction* MenuPortMap = nullptr;
    QAction* N10 = nullptr;
    QAction* ChangeHostInterface = nullptr;
    // Modes
    QAction* MenuProfile = nullptr;
    QAction* MenuMoored = nullptr;
    QAction* MenuRealTimeOutput = nullptr;
    QAction* MenuAnalog = nullptr;
    QAction* MenuAdvanced = nullptr;
    QAction* PCLogger = nullptr;
    QAction* MenuPSM3 = nullptr;
    QAction* Menubq5PassThru = nullptr;
    // Commands
    QAction* MenuFactorySettings = nullptr;  // a submenu
    QAction* ResetToMonitor = nullptr;
    QAction* N2 = nullptr;
    QAction* MenuChangeLoggerID = nullptr;
    QAction* AnalogCal = nullptr;
    QAction* HardwareConfig = nullptr;
    QAction* N11 = nullptr;
    QAction* LoadDefaultFlashSetup = nullptr;
    QAction* ToggleDebug = nullptr;
    QAction* N1 = nullptr;
    QAction* MenuAnnotateFile = nullptr;
    QAction* MenuLoggerTimeUpdate = nullptr;  // a submenu
    QAction* MenuAutoTimeUpdate = nullptr;
    QAction* MenuUpdateTimeNow = nullptr;
    QAction* MenuMooredTimeUpdate = nullptr;
    QAction* N5 = nullptr;
    QAction* MenuTestOneSerialPort = nullptr;
    // Help
    QAction* MenuHelp = nullptr;  // the menu itself
    QAction* MenuAbout = nullptr;

    // For the tables that list items by object name (host modes, host setup file lines):
    // nullptr for a name the menus do not have.
    QAction* named(std::string_view objectName) const;
};

} // namespace cv
