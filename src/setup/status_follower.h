#pragma once
// What both programs do with each status the logger sends: check first that the logger behind
// the line is the one from before, then decode it and keep the logger's clock in step with the
// PC's. A status that may have waited in a full line sets no clock (see LineLoad).
#include <optional>

#include "link/line_load.h"
#include "protocol/commands.h"
#include "setup/logger_identity.h"
#include "setup/status_record.h"

namespace cv::status {

struct IdentityFinding {
    LoggerIdentityCheck::Verdict verdict = LoggerIdentityCheck::Verdict::Continuing;
    std::optional<LoggerIdentity> was;  // the logger from before, when one was known
    LoggerIdentity now;
};

// Whether the clock is kept in step: on every status (the automatic time update), or once now.
struct TimeSync {
    bool automatic = false;
    bool now = false;
};

struct ClockSet {
    uint32_t argument = 0;
    bool sent = false;  // the port took the command
};

class StatusFollower {
public:
    // The identity check of an arrived status. Another logger starts afresh: its own firmware
    // check, row names and run/stop value.
    IdentityFinding identify(const StatusBytes& record);
    // Decodes the status; the clock-set command goes out through `sink` when the status asks
    // for one, and the line load learns how late the line runs.
    StatusView decode(const StatusBytes& record, HostClock& clock, LoggerFacts& facts, LineLoad& load,
                      CommandSink& sink, TimeSync sync, std::optional<ClockSet>& clockSet);
    // The line went away or was opened anew: the next status is checked. True when a check
    // starts now (none was running).
    bool lineInterrupted();
    bool checking() const { return m_identity.checking(); }
    HostClockView hostClockTick(HostClock& clock) { return m_tracker.hostClockTick(clock); }

private:
    StatusTracker m_tracker;
    LoggerIdentityCheck m_identity;
};

} // namespace cv::status
