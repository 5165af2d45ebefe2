#pragma once
// What the Host tells whoever drives it: the window forwards each to the screen that shows it,
// cvrecord prints a line. Every function has an empty default, so a driver overrides only what
// it shows and a new kind of event costs its drivers nothing.
#include <string>

#include "link/logger_port.h"
#include "setup/status_follower.h"
#include "setup/status_record.h"
#include "share/network_outputs.h"

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
    // The recorder's storage answered a file: the recording's first, the next hour's or day's,
    // or the one it goes on in after a partial record.
    virtual void recorderFileOpened(const std::string& /*file*/) {}
    // Network output `index` (0-based) in the last second: clients came, left or were given up
    // for falling behind, or a send failed.
    virtual void networkOutputChanged(int /*index*/, const share::OutputChange&) {}
    // Network output `index` could not start, or failed later; `fault` says why.
    virtual void outputFailed(int /*index*/, const std::string& /*fault*/) {}
};

} // namespace cv
