#include "widgets/menu_items.h"

#include <utility>

namespace cv {

QAction* MenuItems::named(std::string_view objectName) const {
    static constexpr std::pair<std::string_view, QAction* MenuItems::*> kByName[] = {
        {"Files1", &MenuItems::Files1},
        {"LoadHostSetupFile", &MenuItems::LoadHostSetupFile},
        {"StoreHostSetupFile", &MenuItems::StoreHostSetupFile},
        {"Exit1", &MenuItems::Exit1},
        {"MenuLoggerPortSetup", &MenuItems::MenuLoggerPortSetup},
        {"ShowLoggerPortSetup", &MenuItems::ShowLoggerPortSetup},
        {"AutoBaudRateDetection", &MenuItems::AutoBaudRateDetection},
        {"HostPortStats", &MenuItems::HostPortStats},
        {"N10", &MenuItems::N10},
        {"ChangeHostInterface", &MenuItems::ChangeHostInterface},
        {"MenuProfile", &MenuItems::MenuProfile},
        {"MenuMoored", &MenuItems::MenuMoored},
        {"MenuRealTimeOutput", &MenuItems::MenuRealTimeOutput},
        {"MenuAnalog", &MenuItems::MenuAnalog},
        {"MenuAdvanced", &MenuItems::MenuAdvanced},
        {"PCLogger", &MenuItems::PCLogger},
        {"MenuPSM3", &MenuItems::MenuPSM3},
        {"Menubq5PassThru", &MenuItems::Menubq5PassThru},
        {"MenuFactorySettings", &MenuItems::MenuFactorySettings},
        {"ResetToMonitor", &MenuItems::ResetToMonitor},
        {"N2", &MenuItems::N2},
        {"MenuChangeLoggerID", &MenuItems::MenuChangeLoggerID},
        {"AnalogCal", &MenuItems::AnalogCal},
        {"HardwareConfig", &MenuItems::HardwareConfig},
        {"N11", &MenuItems::N11},
        {"LoadDefaultFlashSetup", &MenuItems::LoadDefaultFlashSetup},
        {"ToggleDebug", &MenuItems::ToggleDebug},
        {"N1", &MenuItems::N1},
        {"MenuAnnotateFile", &MenuItems::MenuAnnotateFile},
        {"MenuLoggerTimeUpdate", &MenuItems::MenuLoggerTimeUpdate},
        {"MenuAutoTimeUpdate", &MenuItems::MenuAutoTimeUpdate},
        {"MenuUpdateTimeNow", &MenuItems::MenuUpdateTimeNow},
        {"MenuMooredTimeUpdate", &MenuItems::MenuMooredTimeUpdate},
        {"N5", &MenuItems::N5},
        {"MenuTestOneSerialPort", &MenuItems::MenuTestOneSerialPort},
        {"MenuHelp", &MenuItems::MenuHelp},
        {"MenuAbout", &MenuItems::MenuAbout},
    };
    for (const auto& [name, member] : kByName)
        if (name == objectName) return this->*member;
    return nullptr;
}

} // namespace cv
