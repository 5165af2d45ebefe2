#include "setup/logger_identity.h"

#include "base/text_format.h"

namespace cv::status {

namespace {
constexpr uint16_t kInstalledSerialPorts = 0x00FF;

std::string describe(const LoggerIdentity& id) {
    const std::optional<DeviceCaptions> captions = deviceCaptions(id.deviceType);
    const std::string device = captions ? captions->name : format("device type %d", id.deviceType);
    return format("%s with logger ID %d (firmware %.2f, %s memory)", device.c_str(), id.loggerId,
                  firmwareVersion(id.firmware), memoryText(id.totalMemory).c_str());
}
} // namespace

LoggerIdentity identityOf(const StatusFields& f) {
    return LoggerIdentity{f.deviceType, f.loggerId, f.firmware, uint16_t(f.serialMask & kInstalledSerialPorts),
                          f.analogMask, f.pumpMask, f.totalMemory};
}

std::string otherLoggerText(const LoggerIdentity& was, const LoggerIdentity& now) {
    return "The logger that answers now is a " + describe(now) + ", not the " + describe(was) +
           " that answered before.\n\n"
           "What the window shows from now on is this logger's; its setup is being read.";
}

LoggerIdentityCheck::Verdict LoggerIdentityCheck::statusArrived(const StatusFields& f) {
    const LoggerIdentity now = identityOf(f);
    const std::optional<LoggerIdentity> was = m_known;
    const bool checking = m_checking;
    m_known = now;
    m_checking = false;
    if (!checking) return Verdict::Continuing;
    if (!was) return Verdict::Unknown;
    return *was == now ? Verdict::SameLogger : Verdict::OtherLogger;
}

} // namespace cv::status
