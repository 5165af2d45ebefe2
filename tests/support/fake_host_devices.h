#pragma once
// The outside world of a Host under test, whichever program drives it: a clock the test sets,
// dialogs that answer as told, COM1 as a fake line, network outputs that keep their datagrams,
// and a store that can be stalled (for a Host given it).
#include <cstdint>
#include <memory>

#include "support/captured_datagrams.h"
#include "support/fakes.h"
#include "support/stalling_files.h"

namespace cv::test {

struct FakeHostDevices {
    explicit FakeHostDevices(int64_t startSeconds) { clock.seconds = startSeconds; }
    CapturedDatagrams sockets;
    StallingFiles files;
    FakeClock clock;
    FakeDialogs dialogs;
    FakeSerialFactory serial;
    std::shared_ptr<FakeLine> line = serial.line(1);
};

} // namespace cv::test
