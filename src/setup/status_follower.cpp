#include "setup/status_follower.h"

namespace cv::status {

IdentityFinding StatusFollower::identify(const StatusBytes& record) {
    const StatusFields fields = decodeStatusFields(record);
    IdentityFinding found;
    found.was = m_identity.known();
    found.now = identityOf(fields);
    found.verdict = m_identity.statusArrived(fields);
    if (found.verdict == LoggerIdentityCheck::Verdict::OtherLogger) m_tracker = StatusTracker();
    return found;
}

StatusView StatusFollower::decode(const StatusBytes& record, HostClock& clock, LoggerFacts& facts, LineLoad& load,
                                  CommandSink& sink, TimeSync sync, std::optional<ClockSet>& clockSet) {
    StatusTiming timing;
    timing.late = load.busy() || load.full();
    timing.heldOffset = load.clockOffset();
    const StatusView v = m_tracker.decode(record, clock, facts, sync.automatic, sync.now, timing);
    load.noteStatusOffset(v.clockOffset);
    clockSet.reset();
    if (v.setTimeArgument) {
        clockSet = ClockSet{*v.setTimeArgument, sink.sendCommand(cmd::kSetTime, 0, *v.setTimeArgument)};
        load.clockSet();
    }
    return v;
}

bool StatusFollower::lineInterrupted() {
    if (m_identity.checking()) return false;
    m_identity.lineInterrupted();
    return true;
}

} // namespace cv::status
