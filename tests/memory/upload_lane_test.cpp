// The upload with its file work on a lane of its own thread, as the program runs it: a disk that
// stops taking bytes, a disk that refuses them, and an extraction that takes its time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "upload_rig.h"

namespace cv::test {
namespace {

int acksOf(const UploadRig& rig, uint16_t number) {
    int n = 0;
    for (const auto& p : rig.sink.withCode(cmd::kBlockAck)) n += getU16le(&p[8]) == number;
    return n;
}

void startRun(UploadRig& rig, const std::vector<std::pair<int16_t, uint32_t>>& runs, const std::string& name) {
    rig.listRuns(runs);
    std::vector<int> rows;
    for (size_t i = 0; i < runs.size(); ++i) rows.push_back(int(i));
    rig.queue(rows, name);
    rig.session.supervisionTick();
    rig.session.finishFileWork();  // the file opens, and only then is the run requested
}

TEST(UploadOnAStalledDisk, HoldsTheAcknowledgementAndLandsEveryBlockInOrder) {
    UploadRig rig(2);
    rig.extractionReadsTheFile = false;
    const auto path = rig.file("run.005");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // A pipe nobody reads stands for a share that stops answering: one page of room, then the
    // lane's write waits.
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETPIPE_SZ, 4096);
    const auto data = runBytes(12 * 1024);
    startRun(rig, {{5, uint32_t(data.size())}}, "run.005");
    ASSERT_EQ(rig.requests(), 1);

    // The logger sends a block only once the one before is acknowledged.
    uint16_t number = 1;
    size_t at = 0;
    for (; at < data.size(); ++number, at += 1024) {
        rig.block(number, 1024, data, at);
        if (rig.session.blockHeld()) break;
    }
    ASSERT_TRUE(rig.session.blockHeld()) << "a disk that takes nothing must fill the queue";
    EXPECT_EQ(acksOf(rig, number), 0);
    rig.block(number, 1024, data, at);  // the logger repeats what is not answered
    EXPECT_EQ(acksOf(rig, number), 0);
    EXPECT_EQ(rig.session.duplicateCount(), 1);

    // The disk wakes up.
    fcntl(reader, F_SETFL, 0);
    std::vector<uint8_t> landed;
    std::thread disk([&] {
        uint8_t buffer[4096];
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) landed.insert(landed.end(), buffer, buffer + n);
    });
    rig.session.finishFileWork();
    EXPECT_EQ(acksOf(rig, number), 1);
    for (++number, at += 1024; at < data.size(); ++number, at += 1024) {
        rig.block(number, 1024, data, at);
        rig.session.finishFileWork();
    }
    rig.block(number, 0);
    rig.session.finishFileWork();
    disk.join();  // the run file closed
    ::close(reader);

    EXPECT_EQ(landed, data);
    for (uint16_t n = 1; n <= 12; ++n) EXPECT_EQ(acksOf(rig, n), 1) << "block " << n;
    EXPECT_EQ(rig.view.uploadRun, "Upload is Complete");
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

TEST(UploadOnItsLane, WriteFailureIsReportedAndTheNextAcknowledgementStopsTheLogger) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    UploadRig rig(UploadSession::kQueuedBlocks);
    std::filesystem::create_symlink("/dev/full", rig.file("run.005"));
    const auto data = runBytes(3072);
    startRun(rig, {{5, 3072}}, "run.005");
    rig.block(1, 1024, data, 0);
    rig.session.finishFileWork();
    EXPECT_TRUE(rig.dialogs.saw("Run.005 - File Upload Error",
                                "Unable to write the run file " + rig.file("run.005").string() +
                                    "\n\nThe upload is stopped."));
    rig.block(2, 1024, data, 1024);
    EXPECT_EQ(getU32le(&rig.sink.packets.back()[4]), 2u);  // cancel
    rig.block(3, 0);
    rig.session.finishFileWork();
    EXPECT_EQ(boxesTitled(rig.dialogs, "Run.005 - File Upload Error"), 1);
    EXPECT_TRUE(rig.extractions.empty());
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
    EXPECT_EQ(rig.session.runsRemaining(), 0);
}

TEST(UploadOnItsLane, ExtractionShowsItsProgressWhileTheTicksRunAndItsResultArrivesOnTheTick) {
    std::promise<void> halfway, goOn;
    std::shared_future<void> released = goOn.get_future().share();
    UploadRig rig(UploadSession::kQueuedBlocks);
    // Whatever a failed expectation skips, the extraction must not wait for ever.
    const std::shared_ptr<void> release(nullptr, [&](void*) {
        if (released.wait_for(std::chrono::seconds(0)) != std::future_status::ready) goOn.set_value();
    });
    rig.duringExtraction = [&](WarningSink& warnings, const std::function<void(int)>& progress) {
        progress(40);
        halfway.set_value();
        released.wait();
        warnings.warning("Unknown Type:  99 63", "Record Not Saved");
        progress(100);
    };
    const auto data = runBytes(2048);
    startRun(rig, {{5, 2048}, {6, 100}}, "run.xxx");
    rig.sendRun(data, 1);
    rig.lane.waitIdle();
    rig.session.poll();  // the run file is closed: its extraction starts
    halfway.get_future().wait();

    rig.session.poll();
    EXPECT_EQ(rig.view.uploadRun, "Extracting run 5: 40%");
    for (int i = 0; i < 5; ++i) {
        rig.session.timeoutTick();
        rig.session.supervisionTick();
    }
    EXPECT_EQ(rig.requests(), 1) << "the next run waits for the extraction";
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    goOn.set_value();
    rig.session.finishFileWork();
    EXPECT_TRUE(rig.dialogs.saw("Unknown Type:  99 63", "Record Not Saved"));
    EXPECT_EQ(rig.view.uploadRun, "Extracting run 5: 100%");
    ASSERT_EQ(rig.extractions.size(), 1u);
    EXPECT_EQ(rig.extractions[0].contents, data);  // closed and complete before extraction
    EXPECT_EQ(readFile(rig.file("run.005")), data);
    rig.session.supervisionTick();
    rig.session.finishFileWork();
    EXPECT_EQ(rig.requests(), 2);
}

} // namespace
} // namespace cv::test
