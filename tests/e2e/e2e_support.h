#pragma once
// The real host window on a real pseudo-terminal with the logger simulator on the far side.
// The window's timer handlers are called by the test, with wall-clock pacing, because the
// simulator runs on real time.
#include <QApplication>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include <thread>

#include "app/hostmain_window.h"
#include "archive/cvarchive_command.h"
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

// The PC clock's UTC now, in ms since 1970.
inline int64_t utcNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The utc cell of each record row `cvarchive list` prints for a file, in file order; empty
// with the fault written to `fault` when it fails.
inline std::vector<std::string> listedUtc(const std::string& archive, std::string& fault) {
    std::ostringstream listed, faults;
    if (runArchiveCommand({"list", archive}, listed, faults, false) != 0) {
        fault = faults.str();
        return {};
    }
    std::istringstream rows(listed.str());
    std::vector<std::string> utc;
    std::string row;
    size_t column = std::string::npos;
    while (std::getline(rows, row)) {
        std::vector<std::string> cells(1);
        for (char ch : row) {
            if (ch == '\t') cells.emplace_back();
            else if (ch != '\r') cells.back() += ch;
        }
        if (column == std::string::npos) {  // the header
            column = size_t(std::find(cells.begin(), cells.end(), "utc") - cells.begin());
            if (column == cells.size()) fault = "no utc column: " + row;
            continue;
        }
        if (cells.size() <= column || cells[0].empty() || !std::isdigit(static_cast<unsigned char>(cells[0][0]))) break;
        utc.push_back(cells[column]);
    }
    return utc;
}

} // namespace cv::test
