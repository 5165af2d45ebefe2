#pragma once
// What the main window lends to the subsystem controllers: the way out to the logger (the
// operator's commands warn when the port takes nothing), the operator's boxes, the clock, the
// shared records, the menu items and a call back into the window.
#include <functional>

#include "protocol/commands.h"
#include "protocol/logger_records.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
#include "widgets/menu_items.h"

namespace cv {

struct HostServices {
    CommandSink& commands;
    WarningBox& warnings;
    OperatorDialogs& dialogs;
    HostClock& clock;
    LoggerRecords& records;
    LoggerFacts& facts;
    const MenuItems& menu;  // each controller connects and updates the items it serves
    std::function<void()> relayout;  // re-lays the left column (FormResize)
    // Traffic nobody pressed a button for (time sync): a port that takes nothing stays silent.
    // Without one, `commands` carries it.
    CommandSink* automatic = nullptr;
    CommandSink& automaticCommands() { return automatic ? *automatic : commands; }
};

} // namespace cv
