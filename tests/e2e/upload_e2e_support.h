#pragma once
// The real host window on a real pseudo-terminal with the logger simulator on the far side,
// driven by the window's own QTimers in a Qt event loop, as the program runs. The upload needs
// all four timers, TTimeout included, so nothing here calls a timer handler by hand.
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "support/temp_dir.h"
#include "link/link_screen_qt.h"
#include "base/text_format.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "run_file_generator.h"

namespace cv::test {

inline constexpr int kSpeed115200 = 11;  // item of the speed combo box
inline constexpr int16_t kStandby = 9;

inline std::string fileText(const std::filesystem::path& path) {
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// A run file as the logger writes it, with what each of its sources carried.
struct SimulatedRun {
    int16_t number = 0;
    std::vector<uint8_t> bytes;
    sim::RunFileExpectation expected;
};

inline SimulatedRun generateRun(int16_t number, size_t targetSize, uint64_t seed) {
    sim::RunFileOptions options;
    options.seed = seed;
    options.targetSize = targetSize;
    options.runNumber = number;
    SimulatedRun run;
    run.number = number;
    run.bytes = sim::RunFileGenerator(options).bytes(&run.expected);
    return run;
}

// The shared rig, run by the event loop itself: the upload needs all four timers on schedule.
struct LineUploadRig : HostAndLogger {
    using HostAndLogger::HostAndLogger;
    ~LineUploadRig() {
        for (QTimer* t : {form.Timer10ms, form.Timer475ms, form.Timer1000ms, form.TTimeout}) t->stop();
    }

    template <typename T>
    T* control(const char* name) {
        return form.findChild<T*>(name);
    }
    QPushButton* button(const char* name) { return control<QPushButton>(name); }
    QListWidget* profiles() { return control<QListWidget>("LBProfiles"); }
    RadioGroup* extractChoice() { return control<RadioGroup>("ExtractFilesRG"); }
    QString text(const char* label) { return control<QLabel>(label)->text(); }
    UploadSession& session() { return form.uploadScreen()->session(); }

    // Runs the event loop (the window's timers, the serial port's notifiers) until `done`
    // holds or the deadline passes.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
        QEventLoop loop;
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    // Opens the logger port as the operator would, starts the timers, shows the upload page and
    // waits until the status display knows the logger is in Standby.
    bool connect(std::chrono::milliseconds deadline = std::chrono::seconds(15)) {
        form.linkScreen()->selectLoggerPort(1, kSpeed115200);
        if (!form.ports().isPortOpen(0)) return false;
        form.startTimers();
        form.Tabs->setCurrentWidget(form.Tabs->findChild<QWidget*>("TSUpload"));
        return runUntil([&] { return form.facts().state == kStandby; }, deadline);
    }

    bool getDirectory(int rows, std::chrono::milliseconds deadline = std::chrono::seconds(15)) {
        button("BTGetDirectory")->click();
        return runUntil([&] { return profiles()->count() >= rows; }, deadline) && profiles()->count() == rows;
    }

    int rowOfRun(int run) {
        const QString head = QString::fromStdString(format(" %03d ", run));
        for (int i = 0; i < profiles()->count(); ++i)
            if (profiles()->item(i)->text().startsWith(head)) return i;
        return -1;
    }

    // Selects the runs' rows, chooses the extraction item, presses Upload and confirms a name
    // in `folder`.
    void upload(const std::vector<int>& runs, int choice, const std::filesystem::path& folder) {
        profiles()->clearSelection();
        for (int run : runs)
            if (QListWidgetItem* item = profiles()->item(rowOfRun(run))) item->setSelected(true);
        extractChoice()->item(choice)->click();
        dialogs.fileAnswers.push_back((folder / (runs.size() == 1 ? format("run.%03d", runs[0]) : "run.xxx")).string());
        button("BTUpload")->click();
    }

    bool waitForUploadText(const QString& shown, std::chrono::milliseconds deadline) {
        return runUntil([&] { return text("UpLoadRun") == shown; }, deadline);
    }

    // Run numbers of the upload requests the logger heard, in order.
    std::vector<int> uploadRequests() const {
        std::vector<int> runs;
        for (const auto& c : sim.probe().receivedCommands(cmd::kUploadRequest)) runs.push_back(int(int16_t(c.arg16)));
        return runs;
    }

    bool sawBoxTitled(const std::string& caption) const {
        for (const auto& b : dialogs.boxes)
            if (b.caption == caption) return true;
        return false;
    }
};

} // namespace cv::test
