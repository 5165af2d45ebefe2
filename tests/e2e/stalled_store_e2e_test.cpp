// A store that stops answering, as a network share does, while two loggers stream at 20 Hz: in
// the window and in cvrecord alike it holds up nothing but the recording. Every tick returns at
// once, the plot and the UDP output go on, the records that fitted the queue land in order when
// the store answers again, and the rest are counted and shown.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <chrono>
#include <functional>
#include <optional>

#include "app/hostmain_window.h"
#include "archive/recording_screen_qt.h"
#include "base/bytes.h"
#include "host/recording_run.h"
#include "link/link_screen_qt.h"
#include "sim_records.h"
#include "stream/plot_model.h"
#include "stream/stream_screen_qt.h"
#include "support/fake_host_devices.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

constexpr int kSeconds = 20;
constexpr int kStallFrom = 3, kStallTo = 13;  // seconds into the run: the store does not answer
constexpr int64_t kStart = 1765218900 + 55;   // a new minute begins during the stall
// A small queue, so the stall overflows it.
const RecorderLimits kLimits{4096, 200ms, 3000ms};
const std::string kStalledBox = "the storage does not answer";

// Frame k (units 2 and 3 taking turns) carries "$XX,k,unit" on port 1; both units send one a 50 ms.
std::vector<uint8_t> frame(uint32_t k) {
    sim::MuxFrame f;
    f.unit = uint8_t(2 + k % 2);
    f.sequence = uint8_t(k / 2);
    f.timeStamp = k / 2;
    const std::string line = "$XX," + std::to_string(k) + "," + std::to_string(f.unit) + "\r\n";
    f.sections[0].assign(line.begin(), line.end());
    return sim::buildMuxPacket(f);
}
int64_t sentAtMs(uint32_t k) { return int64_t(k / 2) * 50; }

// The frame numbers of the records in an archive file, in file order.
std::vector<uint32_t> framesIn(const std::vector<uint8_t>& archive) {
    std::vector<uint32_t> frames;
    for (size_t at = 0; at + 32 <= archive.size(); at += getU16le(&archive[at + 4]) + 32u) {
        const std::string record(archive.begin() + long(at), archive.begin() + long(at + 32 + getU16le(&archive[at + 4])));
        const size_t line = record.find("$XX,");
        if (line != std::string::npos) frames.push_back(uint32_t(std::stoul(record.substr(line + 4))));
    }
    return frames;
}

// One road from the logger's line to the store: the window or cvrecord's run of the Host.
struct Road {
    std::function<void()> fast, second, stop;
    Host& host;
    std::function<std::string()> shownStatus;
    // The last value the plot shows of unit 2's first field; none where there is no plot.
    std::function<std::optional<std::string>()> plotted;
};

// Drives the road through the stall and checks what a user, a consumer and the file see.
void driveThroughTheStall(Road& road, test::FakeHostDevices& d) {
    Steady::duration longestTick{};
    auto timed = [&](const std::function<void()>& call) {
        const auto start = Steady::now();
        call();
        longestTick = std::max(longestTick, Steady::now() - start);
    };
    const uint32_t sent = kSeconds * 40;
    uint32_t k = 0;
    size_t datagramsAtStall = 0;
    for (int s = 0; s < kSeconds; ++s) {
        if (s == kStallFrom) {
            d.files.stall(true);
            datagramsAtStall = d.sockets.datagrams.size();
        }
        if (s == kStallTo) {
            EXPECT_EQ(d.sockets.datagrams.size() - datagramsAtStall, size_t(kStallTo - kStallFrom) * 20);
            if (const std::optional<std::string> plotted = road.plotted()) {
                EXPECT_EQ(*plotted, std::to_string(k - 2)) << "the plot shows unit 2's last record";
            }
            d.files.stall(false);
            // The store takes the queue at once when it answers again; the test's time does not
            // wait for it as the logger's would.
            ASSERT_TRUE(road.host.recorder().waitForWriter(10s));
        }
        for (int i = 0; i < 200; ++i) {
            if (i % 10 == 0)
                for (int unit = 0; unit < 2; ++unit) d.line->feed(frame(k++));
            d.clock.ms += 5;
            d.clock.hundredthsValue = i / 2;
            timed(road.fast);
        }
        ++d.clock.seconds;
        d.clock.hundredthsValue = 0;
        timed(road.second);
        // A second of real time for a store that answers; none for one that does not.
        if (s < kStallFrom || s >= kStallTo) {
            ASSERT_TRUE(road.host.recorder().waitForWriter(10s));
        }
    }
    ASSERT_TRUE(road.host.recorder().waitForWriter(10s));
    road.second();
    const uint32_t failedWrites = road.host.recorder().failedWrites();
    const std::string shownStatus = road.shownStatus();
    road.stop();

    EXPECT_LT(longestTick, 20ms);
    // The UDP output carried every line of unit 2, the stall's among them, in order.
    ASSERT_EQ(d.sockets.datagrams.size(), sent / 2);
    for (uint32_t n = 0; n < sent / 2; ++n) ASSERT_EQ(d.sockets.datagrams[n], "$XX," + std::to_string(2 * n) + ",2\r\n");

    // The file holds what fitted, in order; what it lacks is one run of records sent during
    // the stall, each counted and shown.
    std::vector<uint32_t> kept;
    for (const auto& [name, bytes] : d.files.files)
        if (!name.ends_with(".utc")) kept = framesIn(bytes);
    ASSERT_FALSE(kept.empty());
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()) &&
                std::adjacent_find(kept.begin(), kept.end()) == kept.end());
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), sent - 1);
    std::vector<uint32_t> lost;
    for (uint32_t n = 0, i = 0; n < sent; ++n) {
        if (i < kept.size() && kept[i] == n) ++i;
        else lost.push_back(n);
    }
    ASSERT_FALSE(lost.empty()) << "the queue was meant to overflow";
    EXPECT_EQ(lost.back() - lost.front() + 1, lost.size()) << "one run of lost records";
    EXPECT_GE(sentAtMs(lost.front()), kStallFrom * 1000);
    EXPECT_LT(sentAtMs(lost.back()), kStallTo * 1000);
    EXPECT_GT(kept.size(), size_t(kStallFrom + kSeconds - kStallTo) * 40) << "what fitted the queue landed too";
    EXPECT_EQ(failedWrites, lost.size());
    EXPECT_NE(shownStatus.find(std::to_string(lost.size())), std::string::npos) << shownStatus;
    ASSERT_EQ(d.dialogs.boxes.size(), 1u);
    EXPECT_NE(d.dialogs.boxes[0].text.find(kStalledBox), std::string::npos) << d.dialogs.boxes[0].text;
}

void throughTheWindow(const test::TempDir& dir) {
    test::FakeHostDevices d(kStart);
    HostEnvironment env{d.clock, d.dialogs, d.serial, nullptr, std::nullopt, {}, &d.sockets};
    env.archiveFiles = &d.files;
    env.recorderLimits = kLimits;
    TForm1 form(env);
    form.linkScreen()->selectLoggerPort(1, 6);
    d.dialogs.fileAnswers.push_back((dir / "cv").string());
    form.recordingScreen()->BTRecord1HourClick();
    form.findChild<QCheckBox*>("NetOn1")->setChecked(true);
    const plot::PlotModel& plot = form.streamScreen()->plotModel();

    Road road{[&] { form.Timer10msTimer(); },
              [&] {
                  form.Timer475msTimer();
                  form.Timer1000msTimer();
              },
              [&] { form.recordingScreen()->BTStopRecordClick(); },
              form.host(),
              [&] { return form.findChild<QLabel*>("LBRecordStatus")->text().toStdString(); },
              [&]() -> std::optional<std::string> {
                  for (const plot::SeenField& f : plot.fieldsSeen(2, 1))
                      if (f.column.field == 1) return f.lastText;
                  return std::string("nothing plotted");
              }};
    driveThroughTheStall(road, d);
}

void throughCvrecord(const test::TempDir& dir) {
    test::FakeHostDevices d(kStart);
    Host host({d.clock, d.dialogs, d.serial, d.sockets, &d.files, kLimits});
    RecordingOptions options;
    options.loggerPort = 1;
    options.speedChoice = 6;
    options.mode = recording::kHourly;
    options.name = (dir / "cv").string();
    std::string fault;
    options.outputs.push_back(*share::parseOutputConfig("2:1=127.0.0.1:5001", share::Protocol::Udp, fault));
    RecordingRun run(host, options, [](const std::string&) {}, [](const std::string&) {});
    ASSERT_EQ(run.start(), RecordingRun::Start::Started);

    Road road{[&] { run.fastTick(); }, [&] { run.secondTick(); }, [&] { run.stop(); }, host,
              [&] { return run.statusLine(); }, []() -> std::optional<std::string> { return std::nullopt; }};
    driveThroughTheStall(road, d);
}

struct RoadCase {
    const char* name;
    void (*run)(const test::TempDir&);
};
struct StalledStore : ::testing::TestWithParam<RoadCase> {};

TEST_P(StalledStore, HoldsUpNothingButTheRecordingAndLosesOnlyWhatDidNotFit) {
    test::TempDir dir;
    GetParam().run(dir);
}

INSTANTIATE_TEST_SUITE_P(Host, StalledStore,
                         ::testing::Values(RoadCase{"Window", throughTheWindow}, RoadCase{"Cvrecord", throughCvrecord}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
