// The run directory, the upload of run files and the memory clear, end to end: the real window
// driven through its controls, a pseudo-terminal, and the simulated logger with its faults.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QRegularExpression>

#include "protocol/commands.h"
#include "support/temp_dir.h"
#include "upload_e2e_support.h"

namespace cv::test {
namespace {

using namespace std::chrono_literals;

// Repeats for a lost acknowledgement or a damaged block come quickly, so a faulty line costs
// seconds rather than minutes.
Kr8SimOptions quickRepeats() {
    Kr8SimOptions o;
    o.ackTimeout = 100ms;
    o.maxBlockRepeats = 30;
    return o;
}

void expectFileEquals(const std::filesystem::path& path, const std::vector<uint8_t>& expected) {
    if (expected.empty()) {
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_TRUE(readFile(path) == expected) << path << " differs from what the run carried";
}

// What the extraction of one uploaded run must have left in the folder.
void expectExtracted(const std::filesystem::path& dir, const SimulatedRun& run, bool rawFiles) {
    const std::string nnn = format("%03d", run.number);
    ASSERT_TRUE(std::filesystem::exists(dir / ("Summary." + nnn))) << "run " << run.number;
    EXPECT_EQ(fileText(dir / ("Summary." + nnn)).rfind(format("Run # %d:", run.number), 0), 0u);
    ASSERT_TRUE(std::filesystem::exists(dir / ("archive." + nnn))) << "run " << run.number;
    EXPECT_GT(std::filesystem::file_size(dir / ("archive." + nnn)), 0u);
    expectFileEquals(dir / ("Battery." + nnn), run.expected.battery);
    if (rawFiles) {
        for (int port = 1; port <= 8; ++port)
            expectFileEquals(dir / format("Port%d.%s", port, nnn.c_str()), run.expected.ports[size_t(port - 1)]);
        expectFileEquals(dir / ("analog." + nnn), run.expected.analog);
        expectFileEquals(dir / ("timestp." + nnn), run.expected.timeStamps);
    } else {
        for (int port = 1; port <= 8; ++port)
            EXPECT_FALSE(std::filesystem::exists(dir / format("Port%d.%s", port, nnn.c_str())));
        EXPECT_FALSE(std::filesystem::exists(dir / ("analog." + nnn)));
    }
}

TEST(UploadEndToEnd, DirectoryShowsOneRowPerRunAndReadingAgainDoesNotDoubleThem) {
    LineUploadRig rig;
    const std::vector<int16_t> runs = rig.sim.memory().generateRuns(12, 77);
    ASSERT_EQ(runs.size(), 12u);
    ASSERT_TRUE(rig.connect()) << "the logger never reported Standby";

    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(rig.getDirectory(12)) << "pass " << pass << ": " << rig.profiles()->count() << " rows";
        // The directory is complete only when the last entry has been framed; more must not follow.
        ASSERT_TRUE(rig.sim.probe().waitUntil([&] { return rig.sim.probe().stats().directoryEntriesSent == 12u * (pass + 1); }, 5s));
        ASSERT_TRUE(rig.runUntil([&] { return rig.text("CSError") == QString("Run Number: %1").arg(runs.back()); }, 5s));
        ASSERT_EQ(rig.profiles()->count(), 12);
        // How a row is written is the directory's own test; here each run lands in its row.
        for (size_t i = 0; i < runs.size(); ++i) {
            const QString row = rig.profiles()->item(int(i))->text();
            EXPECT_TRUE(row.startsWith(QString::fromStdString(format(" %03d ", runs[i])))) << row.toStdString();
        }
    }
    EXPECT_EQ(rig.sim.probe().receivedCommands(cmd::kGetDirectory).size(), 2u);
}

TEST(UploadEndToEnd, ThreeRunsArriveWholeOverALineThatDamagesBlocksAndLosesAcknowledgements) {
    Kr8SimOptions o = quickRepeats();
    o.faults.corruptFraction = 0.02;
    o.faults.lostAckFraction = 0.05;
    o.seed = 20240611;
    LineUploadRig rig(o);
    TempDir dir;
    const std::vector<SimulatedRun> runs = {generateRun(1, 100 * 1024, 11), generateRun(2, 400 * 1024, 12),
                                            generateRun(3, 1024 * 1024, 13)};
    for (const SimulatedRun& run : runs) rig.sim.memory().addRun(run.number, run.bytes);
    // About the sizes asked for: a file ends with the first record that reaches its target.
    EXPECT_NEAR(double(runs[0].bytes.size()), 100 * 1024.0, 8 * 1024.0);
    EXPECT_NEAR(double(runs[1].bytes.size()), 400 * 1024.0, 8 * 1024.0);
    EXPECT_NEAR(double(runs[2].bytes.size()), 1024 * 1024.0, 8 * 1024.0);

    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.getDirectory(3));
    rig.upload({1, 2, 3}, 1, dir.path());
    EXPECT_EQ(rig.session().runsRemaining(), 3);
    ASSERT_TRUE(rig.waitForUploadText("Upload is Complete", 120s))
        << "shown: " << rig.text("UpLoadRun").toStdString() << ", run " << rig.session().currentRun() << " at "
        << rig.session().bytesReceived() << " bytes";

    for (const SimulatedRun& run : runs) {
        SCOPED_TRACE("run " + std::to_string(run.number));
        const auto path = dir / format("run.%03d", run.number);
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_TRUE(readFile(path) == *rig.sim.memory().runBytes(run.number)) << "run file differs from the logger's";
        expectExtracted(dir.path(), run, true);
        EXPECT_FALSE(rig.sawBoxTitled(format("Run.%03d - File Upload Error", run.number)));
    }
    EXPECT_EQ(rig.uploadRequests(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(rig.session().runsRemaining(), 0);
    EXPECT_EQ(rig.text("UpLoadSize").toStdString(), format("File Size:  %1ld K", long(runs[2].bytes.size() / 1024)));
    auto* bar = rig.control<QProgressBar>("UpLoadPB");
    EXPECT_EQ(bar->value(), bar->maximum());

    // The faults really happened, so the files above prove the recovery.
    const Kr8SimStats stats = rig.sim.probe().stats();
    EXPECT_GT(stats.corruptedBlocks, 0u);
    EXPECT_GT(stats.acksIgnored, 0u);
    EXPECT_GT(rig.form.receiver().counters().badUploadBlocks, 0u);
    EXPECT_EQ(stats.uploadsAbandoned, 0u);

    // Repeats of blocks whose acknowledgement was lost are counted, not written.
    static const QRegularExpression shown("^Duplicate Packets:  (\\d+)$");
    const auto m = shown.match(rig.text("CSError"));
    ASSERT_TRUE(m.hasMatch()) << rig.text("CSError").toStdString();
    const long duplicates = m.captured(1).toLong();
    EXPECT_GT(duplicates, 0);
    EXPECT_LE(duplicates, rig.session().duplicateCount());
    EXPECT_LE(uint64_t(rig.session().duplicateCount()), stats.uploadBlocksRepeated);
}

TEST(UploadEndToEnd, RequestThatBringsNoBlockIsRepeatedAndTheRunStillArrives) {
    Kr8SimOptions o = quickRepeats();
    o.faults.withheldFirstBlocks = 1;
    LineUploadRig rig(o);
    TempDir dir;
    const SimulatedRun run = generateRun(4, 48 * 1024, 21);
    rig.sim.memory().addRun(run.number, run.bytes);

    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.getDirectory(1));
    rig.upload({4}, 0, dir.path());
    ASSERT_TRUE(rig.runUntil([&] { return rig.sim.probe().stats().firstBlocksWithheld == 1; }, 10s));
    EXPECT_EQ(rig.uploadRequests(), std::vector<int>{4});
    ASSERT_TRUE(rig.waitForUploadText("Upload is Complete", 60s)) << rig.text("UpLoadRun").toStdString();

    EXPECT_EQ(rig.uploadRequests(), (std::vector<int>{4, 4}));
    EXPECT_TRUE(readFile(dir / "run.004") == run.bytes);
    expectExtracted(dir.path(), run, false);  // the archive-only choice, passed on by the page
    EXPECT_FALSE(rig.sawBoxTitled("Run.004 - File Upload Error"));
}

TEST(UploadEndToEnd, CancelEndsTheUploadAfterTheCurrentRunAndTheNextUploadWorks) {
    LineUploadRig rig(quickRepeats());
    TempDir dir;
    const SimulatedRun first = generateRun(1, 300 * 1024, 31), second = generateRun(2, 120 * 1024, 32);
    rig.sim.memory().addRun(first.number, first.bytes);
    rig.sim.memory().addRun(second.number, second.bytes);

    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.getDirectory(2));
    rig.upload({1, 2}, 0, dir.path());
    ASSERT_TRUE(rig.runUntil([&] { return rig.session().bytesReceived() >= 32 * 1024; }, 30s));
    rig.button("BTCancelUpload")->click();
    ASSERT_TRUE(rig.waitForUploadText("Upload Cancelled", 60s)) << rig.text("UpLoadRun").toStdString();

    EXPECT_EQ(rig.session().runsRemaining(), 0);
    EXPECT_EQ(rig.uploadRequests(), std::vector<int>{1});
    EXPECT_EQ(rig.sim.probe().stats().uploadsCancelled, 1u);
    // What came before the cancel is kept as it came, as run.001.part (renamed on the file lane,
    // behind the file's close). How a cancelled run is reported and that it is not extracted are
    // the upload session's own tests.
    rig.session().finishFileWork();
    const auto partial = readFile(dir / "run.001.part");
    EXPECT_FALSE(std::filesystem::exists(dir / "run.001"));
    EXPECT_GE(partial.size(), 32u * 1024);
    EXPECT_LT(partial.size(), first.bytes.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), first.bytes.begin()));
    EXPECT_FALSE(std::filesystem::exists(dir / "run.002"));

    rig.upload({2}, 0, dir.path());
    ASSERT_TRUE(rig.waitForUploadText("Upload is Complete", 60s)) << rig.text("UpLoadRun").toStdString();
    // The cancelled upload fetched nothing more in the meantime.
    EXPECT_EQ(rig.uploadRequests(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(readFile(dir / "run.002") == second.bytes);
    EXPECT_TRUE(readFile(dir / "run.001.part") == partial) << "the cancelled run's file was touched again";
}

TEST(UploadEndToEnd, CancelEndsAnUploadWhoseLoggerNeverAnswersTheRequest) {
    Kr8SimOptions o;
    o.faults.withheldFirstBlocks = 1000;
    LineUploadRig rig(o);
    TempDir dir;
    rig.sim.memory().addRun(5, generateRun(5, 8 * 1024, 41).bytes);
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.getDirectory(1));
    rig.upload({5}, 0, dir.path());
    ASSERT_TRUE(rig.runUntil([&] { return rig.sim.probe().stats().firstBlocksWithheld >= 1; }, 10s));

    rig.button("BTCancelUpload")->click();
    ASSERT_TRUE(rig.waitForUploadText("Upload Cancelled", 30s)) << rig.text("UpLoadRun").toStdString();
    EXPECT_EQ(rig.session().runsRemaining(), 0);
    // Nothing is left running: the directory can be read again at once.
    ASSERT_TRUE(rig.getDirectory(1));
    EXPECT_FALSE(rig.dialogs.saw("Unable to comply", "Upload in progress"));
}

// The question, its answers and the command bytes are the memory commands' own tests; here a
// Yes reaches the logger.
TEST(UploadEndToEnd, ClearMemoryErasesTheLoggerAndEmptiesTheList) {
    LineUploadRig rig;
    rig.sim.memory().generateRuns(3, 5);
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(rig.getDirectory(3));

    rig.dialogs.answers = {Answer::Yes};
    rig.button("BTClearMemory")->click();
    EXPECT_EQ(rig.profiles()->count(), 0);
    EXPECT_TRUE(rig.runUntil([&] { return rig.sim.memory().runNumbers().empty(); }, 10s)) << "the logger kept its runs";
    EXPECT_EQ(rig.sim.probe().receivedCommands(cmd::kClearMemory).size(), 1u);
}

} // namespace
} // namespace cv::test
