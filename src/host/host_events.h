#pragma once
// What the Host tells whoever drives it: the window forwards each to the screen that shows it,
// cvrecord prints a line. Every function has an empty default, so a driver overrides only what
// it shows and a new kind of event costs its drivers nothing.
#include <string>

#include "link/logger_port.h"
#include "setup/status_follower.h"
#include "setup/status_record.h"

namespace cv {

class HostEvents {
public:
    virtual ~HostEvents() = default;

    // Packets framed again on the logger port after a fault.
    virtual void linkRecovered() {}
    // The second's supervision: statistics lines, colours, auto baud, a lost device.
    virtual void linkSupervised(const LinkSecond&) {}
    // The logger port's device went away (true) or came back (false).
    virtual void portLostChanged(bool /*lost*/) {}
    // Auto baud reopened the logger port at another speed choice.
    virtual void autoBaudSpeedChanged(int /*speedChoice*/) {}
    // The next status will be checked for the logger's identity; `started`: no check was running.
    virtual void identityCheckStarted(bool /*started*/) {}
    // The identity check's verdict on an arrived status (never Continuing).
    virtual void identityVerdict(const status::IdentityFinding&) {}
    // An arrived status, decoded.
    virtual void statusDecoded(const status::StatusView&) {}
    // A clock-set command was due and went out (or the port would not take it).
    virtual void clockSetSent(const status::ClockSet&) {}
    // A new clock minute began (after the recorder's minute work).
    virtual void minuteBegan() {}
    // The archive storage began failing (true) or took records again (false).
    virtual void recorderFailingChanged(bool /*failing*/) {}
    // Network output `index` (0-based) gained or lost TCP clients (dropped: given up for falling behind).
    virtual void networkClientsConnected(int /*index*/, int /*count*/) {}
    virtual void networkClientsDropped(int /*index*/, int /*count*/) {}
    // Network output `index` could not start; `fault` says why.
    virtual void outputFailed(int /*index*/, const std::string& /*fault*/) {}
};

} // namespace cv
