#pragma once
// What the live stream hands each record it accepts to: the recorder, the PC logger's output
// lines, the raw display, and whatever comes next. The controller that owns a consumer
// registers it with the stream; the stream does not know who listens.
#include "protocol/mux_record.h"

namespace cv {

class StreamConsumer {
public:
    virtual ~StreamConsumer() = default;
    // One accepted record, its header in host order, valid only during the call. Called from
    // the 5 ms tick: it must return at once, never wait on a device and never keep more than a
    // bounded amount of what it is given.
    virtual void takeRecord(const mux::RecordView& record) = 0;
};

} // namespace cv
