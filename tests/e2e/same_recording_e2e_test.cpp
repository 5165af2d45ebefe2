// Same bytes, same files: one logger's bytes go through the window and through cvrecord's run of
// the Host with the same options, and both must leave the same archive files, send the same UDP
// lines and set the logger's clock with the same commands.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <filesystem>
#include <functional>
#include <map>

#include "archive/recording_screen_qt.h"
#include "base/bytes.h"
#include "host/recording_run.h"
#include "link/link_screen_qt.h"
#include "setup/record_builders.h"
#include "sim_records.h"
#include "support/fake_host_devices.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "support/window_rig.h"

namespace cv {
namespace {

// The logger's side of the line, second by second: unit 2 streams four records a second with a
// sequence gap and a repeated packet now and then; its statuses say its clock is ten minutes
// slow; from second 40 on it talks at 19200 baud, which the host hears as noise until it finds
// that speed.
class ScriptedLogger {
public:
    static constexpr int kSpeedChange = 40;
    std::vector<uint8_t> second(int s, int64_t pcClock, const LineSettings& host) {
        const int baud = s < kSpeedChange ? 9600 : 19200;
        std::vector<uint8_t> bytes;
        for (int k = 0; k < 4; ++k) {
            if (++m_records % 9 == 0) ++m_sequence;  // a packet lost on the way
            sim::MuxFrame f;
            f.sequence = m_sequence++;
            f.timeStamp = uint32_t(s * 10 + k);
            const std::string line = "$XX," + std::to_string(m_records) + ",12.5\r\n";
            f.sections[0].assign(line.begin(), line.end());
            const std::vector<uint8_t> packet = sim::buildMuxPacket(f);
            bytes.insert(bytes.end(), packet.begin(), packet.end());
            if (m_records % 7 == 0) bytes.insert(bytes.end(), packet.begin(), packet.end());
        }
        if (s % 20 == 3) {
            std::array<uint8_t, 132> status = test::StatusRecordBuilder().clock(int32_t(pcClock - 600)).build();
            frameBlock(status.data(), status.size(), 3);
            bytes.insert(bytes.end(), status.begin(), status.end());
        }
        if (host.baud != baud)
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 2 ? 0xF0 : 0x0F;
        return bytes;
    }

private:
    uint32_t m_records = 0;
    uint8_t m_sequence = 0;
};

// What a road left behind.
struct Outcome {
    std::map<std::string, std::vector<uint8_t>> files;  // by name within the folder
    std::vector<std::string> datagrams;
    std::vector<std::vector<uint8_t>> clockSets;
    int speedAtEnd = 0;
};

std::map<std::string, std::vector<uint8_t>> filesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = test::readFile(entry.path());
    return files;
}

std::vector<std::vector<uint8_t>> clockSetsIn(const test::FakeLine& line) {
    std::vector<std::vector<uint8_t>> sets;
    for (const std::vector<uint8_t>& w : line.writes)
        if (w.size() >= 4 && getU16le(&w[2]) == cmd::kSetTime) sets.push_back(w);
    return sets;
}

constexpr int kSeconds = 150;
// A minute and a half before a full hour, so the hourly file changes during the run.
constexpr int64_t kStart = 1700002800 - 90;

// One second of either road: the second's bytes, 200 fast ticks, then the second's ticks.
// `speedChanging` runs between the second before the logger changes its speed and that second.
template <class Fast, class Second>
void runSeconds(test::FakeClock& clock, test::FakeLine& line, Fast fast, Second second,
                const std::function<void()>& speedChanging = {}) {
    ScriptedLogger logger;
    for (int s = 0; s < kSeconds; ++s) {
        if (s == ScriptedLogger::kSpeedChange && speedChanging) speedChanging();
        line.feed(logger.second(s, clock.seconds, line.settings));
        for (int i = 0; i < 200; ++i) {
            clock.ms += 5;
            clock.hundredthsValue = i / 2;
            fast();
        }
        ++clock.seconds;
        clock.hundredthsValue = 0;
        second();
    }
}

Outcome throughTheWindow(const test::TempDir& dir) {
    test::FakeHostDevices d(kStart);
    TForm1 form(HostEnvironment{d.clock, d.dialogs, d.serial, nullptr, std::nullopt, {}, &d.sockets});
    form.linkScreen()->selectLoggerPort(1, 6);
    d.dialogs.fileAnswers.push_back((dir / "cv").string());
    form.recordingScreen()->BTRecord1HourClick();
    form.findChild<QCheckBox*>("NetOn1")->setChecked(true);

    // The operator switches auto baud on as the line turns to noise (packets framing end it);
    // cvrecord keeps it on.
    runSeconds(
        d.clock, *d.line, [&] { form.Timer10msTimer(); },
        [&] {
            form.Timer475msTimer();
            form.Timer1000msTimer();
        },
        [&] { form.findChild<QAction*>("AutoBaudRateDetection")->trigger(); });
    form.recordingScreen()->BTStopRecordClick();
    return {filesIn(dir.path()), d.sockets.datagrams, clockSetsIn(*d.line),
            form.linkScreen()->LoggerSetupCB->currentIndex()};
}

Outcome throughCvrecord(const test::TempDir& dir) {
    test::FakeHostDevices d(kStart);
    Host host({d.clock, d.dialogs, d.serial, d.sockets});
    RecordingOptions options;
    options.loggerPort = 1;
    options.speedChoice = 6;
    options.autoBaud = true;
    options.mode = recording::kHourly;
    options.name = (dir / "cv").string();
    options.timeSync = true;
    std::string fault;
    options.outputs.push_back(*share::parseOutputConfig("2:1=127.0.0.1:5001", share::Protocol::Udp, fault));
    std::vector<std::string> printed;
    RecordingRun run(host, options, [&](const std::string& l) { printed.push_back(l); },
                     [&](const std::string& l) { printed.push_back(l); });
    EXPECT_EQ(run.start(), RecordingRun::Start::Started);

    runSeconds(d.clock, *d.line, [&] { run.fastTick(); }, [&] { run.secondTick(); });
    run.stop();
    EXPECT_NE(std::find(printed.begin(), printed.end(), "auto baud: trying 19200"), printed.end());
    return {filesIn(dir.path()), d.sockets.datagrams, clockSetsIn(*d.line), host.loggerPort().speedChoice()};
}

TEST(SameRecording, TheWindowAndCvrecordMakeTheSameFilesLinesAndClockSets) {
    test::TempDir windowDir, recorderDir;
    const Outcome window = throughTheWindow(windowDir);
    const Outcome recorder = throughCvrecord(recorderDir);

    // Two hourly archive files (the hour changed during the run), each with its time index.
    ASSERT_EQ(window.files.size(), 4u);
    EXPECT_EQ(recorder.files.size(), window.files.size());
    for (const auto& [name, bytes] : window.files) {
        ASSERT_TRUE(recorder.files.count(name)) << name;
        if (!name.ends_with(".utc")) {
            EXPECT_GT(bytes.size(), 1000u) << name;
        }
        EXPECT_TRUE(recorder.files.at(name) == bytes) << name << " differs";
    }
    EXPECT_GT(window.datagrams.size(), 300u);
    EXPECT_EQ(recorder.datagrams, window.datagrams);
    EXPECT_FALSE(window.clockSets.empty()) << "the slow logger clock was set";
    EXPECT_EQ(recorder.clockSets, window.clockSets);
    EXPECT_EQ(window.speedAtEnd, 8) << "auto baud found 19200";
    EXPECT_EQ(recorder.speedAtEnd, window.speedAtEnd);
}

} // namespace
} // namespace cv
