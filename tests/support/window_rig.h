#pragma once
// The real main window on fakes: a clock the test sets, dialogs that answer as told, and COM1
// as a fake line the test feeds. The timers stay off; tests call the handlers.
#include <memory>

#include "app/hostmain_window.h"
#include "support/fakes.h"

namespace cv::test {

struct WindowRig {
    FakeClock clock;
    FakeDialogs dialogs;
    FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    std::shared_ptr<FakeLine> line = serial.line(1);
};

} // namespace cv::test
