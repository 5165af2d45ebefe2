// The Host as any driver sees it: what its stream's consumers get and when, what its second
// reports, the speed auto baud finds, and when a status sets the logger's clock.
#include <gtest/gtest.h>

#include "base/bytes.h"
#include "host/host.h"
#include "host/recording_run.h"
#include "link/port_options.h"
#include "setup/record_builders.h"
#include "sim_records.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

class NoSockets : public share::OutputSocketFactory {
public:
    std::unique_ptr<share::OutputSocket> make(const share::OutputConfig&) override { return nullptr; }
};

struct Events : HostEvents {
    std::vector<LinkSecond> seconds;
    std::vector<int> speeds;
    std::vector<status::ClockSet> clockSets;
    std::vector<std::string> filesOpened;
    void recorderFileOpened(const std::string& file) override { filesOpened.push_back(file); }
    void linkSupervised(const LinkSecond& s) override { seconds.push_back(s); }
    void autoBaudSpeedChanged(int speed) override { speeds.push_back(speed); }
    void clockSetSent(const status::ClockSet& set) override { clockSets.push_back(set); }
};

struct HostRig : ::testing::Test {
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    NoSockets sockets;
    Host host{{clock, dialogs, serial, sockets}};
    Events events;
    std::shared_ptr<test::FakeLine> line = serial.line(1);
    uint8_t sequence = 0;

    HostRig() {
        host.setEvents(&events);
        host.loggerPort().open(1, 6);
    }
    std::vector<uint8_t> muxPacket(uint8_t seq) {
        sim::MuxFrame f;
        f.sequence = seq;
        f.sections[0] = {'$', '1', '\r', '\n'};
        return sim::buildMuxPacket(f);
    }
    void second(const std::vector<uint8_t>& bytes) {
        line->feed(bytes);
        for (int i = 0; i < 200; ++i) {
            clock.ms += 5;
            host.fastTick();
        }
        ++clock.seconds;
        host.secondTick();
    }
};

// Remembers how many records the recorder had handed to its writer when the record reached it.
struct Probe : StreamConsumer {
    const ArchiveRecorder* recorder = nullptr;
    std::vector<uint32_t> recordedBefore;
    void takeRecord(const mux::RecordView&) override { recordedBefore.push_back(recorder->inFlight()); }
};

TEST_F(HostRig, TheRawDisplayGetsARecordBeforeTheRecorderAndThePlotAfter) {
    test::TempDir dir;
    ASSERT_TRUE(host.recorder().startContinuous((dir / "cv.arc").string()));
    Probe raw, plot;
    raw.recorder = plot.recorder = &host.recorder();
    host.setConsumer(StreamSlot::RawDisplay, &raw);
    host.setConsumer(StreamSlot::Plot, &plot);
    second(muxPacket(0));
    ASSERT_EQ(raw.recordedBefore.size(), 1u);
    ASSERT_EQ(plot.recordedBefore.size(), 1u);
    EXPECT_EQ(raw.recordedBefore[0], 0u);
    EXPECT_EQ(plot.recordedBefore[0], 1u);
    EXPECT_EQ(host.acceptedRecords(), 1u);
}

TEST_F(HostRig, TheSupervisionsModErrorsLineCountsTheStreamsSequenceErrors) {
    std::vector<uint8_t> bytes;
    for (uint8_t s : {0, 1, 4, 5, 9}) {
        const std::vector<uint8_t> p = muxPacket(s);
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    second(bytes);
    ASSERT_FALSE(events.seconds.empty());
    EXPECT_EQ(events.seconds.back().report.line(statsline::kSequenceErrors), "Mod Errors:  2");
}

// Each file the storage answers is told once it has answered: the hour's, then the next hour's.
TEST_F(HostRig, EachFileTheStorageAnswersIsToldOnce) {
    test::TempDir dir;
    constexpr int64_t kHour = 1700002800;
    clock.seconds = kHour - 2;
    const std::string base = (dir / "cv").string();
    ASSERT_TRUE(host.recorder().startPeriodic(recording::kHourly, base));
    for (uint8_t s = 0; s < 5; ++s) {
        second(muxPacket(s));
        ASSERT_TRUE(host.recorder().waitForWriter(std::chrono::seconds(10)));
    }
    const auto fileAt = [&](int64_t at) { return recording::periodicFileName(base, recording::kHourly, clock.localTime(at)); };
    EXPECT_EQ(events.filesOpened, (std::vector<std::string>{fileAt(kHour - 1), fileAt(kHour)}));
}

TEST_F(HostRig, AutoBaudReopensThePortAtTheNextSpeedWhileNothingFrames) {
    host.loggerPort().supervisor().setAutoBaud(true);
    for (int s = 0; s < 6 && events.speeds.empty(); ++s) second(std::vector<uint8_t>(200, 0x0F));
    ASSERT_EQ(events.speeds, std::vector<int>{kTopSpeedChoice - 1});
    EXPECT_EQ(line->settings.baud, 57600);
    EXPECT_EQ(host.loggerPort().speedChoice(), kTopSpeedChoice - 1);
    EXPECT_TRUE(host.ports().isPortOpen(kLoggerSlot));
}

struct ClockCase {
    const char* name;
    status::TimeSync sync;
    int64_t loggerBehind;
    bool setsClock;
};
struct ClockRule : HostRig, ::testing::WithParamInterface<ClockCase> {};

TEST_P(ClockRule, AStatusSetsTheLoggersClockOnlyWhenAskedAndOff) {
    const ClockCase& c = GetParam();
    second({});
    std::array<uint8_t, 132> status = test::StatusRecordBuilder().clock(int32_t(clock.seconds - c.loggerBehind)).build();
    host.records().status = status;
    host.records().statusArrived = true;
    line->writes.clear();
    host.statusTick(c.sync);
    EXPECT_FALSE(host.records().statusArrived);
    bool setTimeSent = false;
    for (const auto& w : line->writes) setTimeSent = setTimeSent || (w.size() > 4 && getU16le(&w[2]) == cmd::kSetTime);
    EXPECT_EQ(setTimeSent, c.setsClock);
    EXPECT_EQ(events.clockSets.size(), c.setsClock ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Host, ClockRule,
                         ::testing::Values(ClockCase{"AutomaticAndTenMinutesSlow", {true, false}, 600, true},
                                           ClockCase{"AutomaticAndOnTime", {true, false}, 0, false},
                                           ClockCase{"NotAsked", {false, false}, 600, false},
                                           ClockCase{"OnceNow", {false, true}, 600, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SpeedText {
    const char* name;
    const char* text;
    int choice;
};
struct SpeedOption : ::testing::TestWithParam<SpeedText> {};

TEST_P(SpeedOption, ReadsAsTheSpeedBoxesListIt) {
    EXPECT_EQ(speedChoiceOfText(GetParam().text), GetParam().choice);
}

INSTANTIATE_TEST_SUITE_P(PortOptions, SpeedOption,
                         ::testing::Values(SpeedText{"Plain", "9600", 6}, SpeedText{"Top", "115200", 11},
                                           SpeedText{"SevenEven", "9600,7,E,1", 7},
                                           SpeedText{"BlanksIgnored", " 4800, 7, E, 1", 5},
                                           SpeedText{"OffIsNoSpeed", "OFF", 0}, SpeedText{"Unknown", "14400", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortOptions, ComMappingsNeedANumberFromOneToTwelveAndADevice) {
    EXPECT_TRUE(isComMapping("3=/dev/ttyUSB0"));
    EXPECT_TRUE(isComMapping("COM12=/dev/pts/4"));
    EXPECT_FALSE(isComMapping("13=/dev/ttyUSB0"));
    EXPECT_FALSE(isComMapping("3="));
    EXPECT_FALSE(isComMapping("/dev/ttyUSB0"));
    EXPECT_EQ(speedChoicesText(), "600 .. 115200, 4800,7,E,1 or 9600,7,E,1");
}


// cvrecord prints its status line when a clock minute begins, not every second after the first.
TEST(RecordingRunStatus, OneStatusLineAMinuteOverTwoMinutes) {
    test::FakeClock clock;
    clock.seconds = 1700000000 / 60 * 60 + 30;  // half a minute before the next one
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    NoSockets sockets;
    Host host{{clock, dialogs, serial, sockets}};
    test::TempDir dir;
    RecordingOptions options;
    options.loggerPort = 1;
    options.mode = recording::kContinuous;
    options.name = (dir / "run.arc").string();
    std::vector<std::string> lines;
    RecordingRun run(host, options, [&](const std::string& l) { lines.push_back(l); }, [](const std::string&) {});
    ASSERT_EQ(run.start(), RecordingRun::Start::Started);
    for (int s = 0; s < 120; ++s) {
        ++clock.seconds;
        run.secondTick();
    }
    run.stop();
    size_t statusLines = 0;
    for (const std::string& l : lines) statusLines += l.rfind("records ", 0) == 0;
    EXPECT_EQ(statusLines, 2u);
}

} // namespace
} // namespace cv
