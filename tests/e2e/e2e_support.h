#pragma once
// The real host window on a real pseudo-terminal with the logger simulator on the far side.
// The window's timer handlers are called by the test, with wall-clock pacing, because the
// simulator runs on real time.
#include <QApplication>
#include <chrono>
#include <functional>
#include <thread>

#include "app/hostmain_window.h"
#include "adapters/serial_port_qt.h"
#include "simulator.h"
#include "support/fakes.h"

namespace cv::test {

struct HostAndLogger {
    explicit HostAndLogger(Kr8SimOptions options = {}) : sim(std::move(options)) {
        map.set(1, sim.line().startPty());
    }
    ~HostAndLogger() { sim.line().stop(); }

    Kr8Simulator sim;
    PortMap map;
    SystemClock clock;
    FakeDialogs dialogs;
    QtSerialFactory serial{map};
    TForm1 form{HostEnvironment{clock, dialogs, serial, &map}};
    std::chrono::steady_clock::time_point lastSecond = std::chrono::steady_clock::now();

    // Runs the window's timers as the event loop would, until `done` or the deadline.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < end) {
            form.Timer10msTimer();
            const auto now = std::chrono::steady_clock::now();
            if (now - lastSecond >= std::chrono::seconds(1)) {
                lastSecond = now;
                form.Timer475msTimer();
                form.Timer1000msTimer();
            }
            QApplication::processEvents();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
};

} // namespace cv::test
