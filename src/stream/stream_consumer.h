#pragma once
// What the live stream hands each record it accepts to: the recorder, the PC logger's output
// lines, the raw display, and whatever comes next. The controller that owns a consumer
// registers it with the stream; the stream does not know who listens.
#include "protocol/mux_record.h"

namespace cv {

// Where a record comes from: a logger or the PC logger now, or an archive file replayed through
// the same road (its records carry another day's stamps and sequence numbers).
enum class Origin { Live, Replay };

class StreamConsumer {
public:
    virtual ~StreamConsumer() = default;
    // One accepted record, its header in host order, valid only during the call. Called from
    // the 5 ms tick: it must return at once, never wait on a device and never keep more than a
    // bounded amount of what it is given.
    virtual void takeRecord(const mux::RecordView& record) = 0;
    // The stream hands records on through this; consumers that tell a replay from live data
    // take it here.
    virtual void takeRecordFrom(Origin origin, const mux::RecordView& record) {
        (void)origin;
        takeRecord(record);
    }
};

} // namespace cv
