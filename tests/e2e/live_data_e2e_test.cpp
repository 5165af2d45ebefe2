// Live data from the logger to the archive file and back: the simulator streams several units
// with sequence gaps and duplicated packets, the window records a continuous archive through the
// Recording page, the exported table gives each record the UTC time it was sent, and a second
// window replays the file.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "archive/archive_recorder.h"
#include "archive/record_page.h"
#include "archive/recording_screen_qt.h"
#include "archive/time_index.h"
#include "e2e_support.h"
#include "link/link_screen_qt.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

// The record as an archive file holds it: the header's length and time fields little-endian.
std::vector<uint8_t> archived(const sim::SentMuxPacket& sent) {
    std::vector<uint8_t> r = sent.record();
    std::swap(r[4], r[5]);
    std::swap(r[6], r[9]);
    std::swap(r[7], r[8]);
    for (size_t at = 10; at < 28; at += 2) std::swap(r[at], r[at + 1]);
    return r;
}

std::vector<std::string> unitCounterTexts(TForm1& form) {
    form.Timer1000msTimer();
    const RealTimePage* page = form.streamScreen()->page();
    std::vector<std::string> texts;
    for (const QLabel* label : {page->LBTimeUnit, page->LBUnit1, page->LBUnit2, page->LBUnit3, page->LBUnit4})
        texts.push_back(label->text().toStdString());
    return texts;
}

TEST(LiveDataEndToEnd, EveryRecordSentIsArchivedInOrderAndItsReplayCountsAlike) {
    test::TempDir dir;
    const std::string archive = (dir / "live.arc").string();
    Kr8SimOptions options;
    options.streamInterval = 100ms;
    options.streamUnits = {0, 1, 2, 3};
    options.faults.stream.gapEvery = 6;
    options.faults.stream.gapLength = 2;
    options.faults.stream.duplicateEvery = 4;
    std::mutex sentMutex;
    std::vector<int64_t> sentMs;  // when each record left the logger, repeats left out
    options.sentSink = [&](const sim::SentMuxPacket& p) {
        std::lock_guard lock(sentMutex);
        if (!p.duplicate) sentMs.push_back(test::utcNowMs());
    };
    test::HostAndLogger rig(options);
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    ASSERT_TRUE(rig.form.ports().isPortOpen(0)) << "could not open the pseudo-terminal";

    RecordPage* recordPage = rig.form.recordingScreen()->page();
    rig.dialogs.fileAnswers = {archive};
    recordPage->BTRecordArchive->click();
    ASSERT_EQ(rig.form.recordingScreen()->recordingMode(), RecordingMode::Continuous);

    rig.sim.logger().beginSampling();
    ASSERT_TRUE(rig.runUntil([&] { return rig.sim.probe().sentMuxPackets().size() >= 160; }, 20s));
    rig.sim.logger().stopSampling();
    std::vector<uint8_t> expected;
    size_t records = 0;
    for (const sim::SentMuxPacket& sent : rig.sim.probe().sentMuxPackets()) {
        if (sent.duplicate) continue;
        const auto bytes = archived(sent);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        ++records;
    }
    const ArchiveRecorder& recorder = rig.form.recordingScreen()->recorder();
    EXPECT_TRUE(rig.runUntil([&] { return recorder.recordedBytes() >= int64_t(expected.size()); }, 20s));
    recordPage->BTStopRecord->click();
    EXPECT_EQ(rig.form.recordingScreen()->recordingMode(), RecordingMode::Off);

    const std::vector<uint8_t> file = test::readFile(archive);
    ASSERT_EQ(file.size(), expected.size()) << records << " records sent, duplicates left out";
    EXPECT_TRUE(file == expected) << "the file holds every record in the order sent, header little-endian";
    const std::vector<std::string> live = unitCounterTexts(rig.form);
    const MuxStream& stream = rig.form.streamScreen()->stream();
    for (int unit = 1; unit <= 3; ++unit) EXPECT_GT(stream.unit(unit).sequenceErrors, 0u) << "gaps reached unit " << unit;
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << rig.dialogs.boxes.front().caption << ": " << rig.dialogs.boxes.front().text;

    std::string fault;
    const std::vector<std::string> utc = test::listedUtc(archive, fault);
    ASSERT_EQ(fault, "");
    {
        std::lock_guard lock(sentMutex);
        ASSERT_GE(sentMs.size(), records);
        ASSERT_EQ(utc.size(), records);
        for (size_t i = 0; i < records; ++i) {
            EXPECT_GE(utc[i], utcText(sentMs[i] - 1000)) << "record " << i;
            EXPECT_LE(utc[i], utcText(sentMs[i] + 1000)) << "record " << i;
        }
    }

    // A window that never saw the logger replays the file and counts the same.
    Kr8SimOptions quiet;
    quiet.faults.silent = true;
    test::HostAndLogger replay(quiet);
    RecordPage* replayPage = replay.form.recordingScreen()->page();
    replayPage->ReplaySpeedUD->setValue(replayPage->ReplaySpeedUD->maximum());
    replay.dialogs.fileAnswers = {archive};
    replayPage->ReplayArchiveBT->click();
    ASSERT_EQ(replay.form.recordingScreen()->recordingMode(), RecordingMode::ReplayOnce);
    EXPECT_TRUE(replay.runUntil([&] { return replay.form.recordingScreen()->recordingMode() == RecordingMode::Off; }, 30s));
    EXPECT_EQ(unitCounterTexts(replay.form), live);
}

} // namespace
} // namespace cv
