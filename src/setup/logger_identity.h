#pragma once
// Which logger answers on the line. After the line was lost, the next status must show that the
// logger behind it is the one whose values and setup the screen holds: a pseudo-terminal or a
// renumbered USB adapter can come back as someone else's device.
#include <cstdint>
#include <optional>
#include <string>

#include "setup/status_record.h"

namespace cv::status {

// What its status tells of a logger that does not change while it works: what it is, its ID,
// what is built into it and its firmware. (The host interface and remote-host bits of the serial
// mask do change in use.)
struct LoggerIdentity {
    int16_t deviceType = 0;
    int16_t loggerId = 0;
    uint32_t firmware = 0;
    uint16_t serialPorts = 0;
    uint16_t analogMask = 0;
    uint16_t pumpMask = 0;
    int32_t totalMemory = 0;
    bool operator==(const LoggerIdentity&) const = default;
};

LoggerIdentity identityOf(const StatusFields& f);

inline constexpr const char* kOtherLoggerTitle = "Another Logger on the Line";
// Names the logger that answers now and the one that was there.
std::string otherLoggerText(const LoggerIdentity& was, const LoggerIdentity& now);

class LoggerIdentityCheck {
public:
    enum class Verdict {
        Continuing,   // no check was due
        SameLogger,   // the logger from before the loss answers again
        OtherLogger,  // another logger answers
        Unknown,      // no status had come before the loss: nothing to compare with
    };
    // The line went away (or was opened anew): the next status is checked.
    void lineInterrupted() { m_checking = true; }
    bool checking() const { return m_checking; }
    // Each arrived status; it becomes the identity later ones are checked against.
    Verdict statusArrived(const StatusFields& f);
    const std::optional<LoggerIdentity>& known() const { return m_known; }

private:
    std::optional<LoggerIdentity> m_known;
    bool m_checking = false;
};

} // namespace cv::status
