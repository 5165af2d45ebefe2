#pragma once
// What the main window lends to the subsystem controllers: the way out to the logger, the
// operator's boxes, the clock, the shared records and a few calls back into the window.
#include <functional>

#include "link/commands.h"
#include "link/logger_records.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"

namespace cv {

struct HostServices {
    CommandSink& commands;
    WarningBox& warnings;
    OperatorDialogs& dialogs;
    HostClock& clock;
    LoggerRecords& records;
    LoggerFacts& facts;
    std::function<void()> reopenLoggerPort;  // re-applies LoggerPortCB/LoggerSetupCB (drains the port)
    std::function<void()> relayout;          // re-lays the left column (FormResize)
};

} // namespace cv
