#include <gtest/gtest.h>

#include <filesystem>

#include "upload_rig.h"

namespace cv::test {
namespace {

using Phase = UploadSession::Phase;

uint32_t ackArgument(const CommandPacket& p) { return getU32le(&p[4]); }
uint16_t ackNumber(const CommandPacket& p) { return getU16le(&p[8]); }

class UploadRun : public ::testing::Test {
protected:
    UploadRig rig;
    // Lists `runs`, queues `rows` and lets the first tick send the request.
    void start(const std::vector<std::pair<int16_t, uint32_t>>& runs, const std::vector<int>& rows = {0}) {
        rig.listRuns(runs);
        rig.queue(rows);
        rig.session.supervisionTick();
    }
    int acksOf(uint16_t number) const {
        int n = 0;
        for (const auto& p : rig.sink.withCode(cmd::kBlockAck)) n += ackNumber(p) == number;
        return n;
    }
};
template <class Case>
class UploadWith : public UploadRun, public ::testing::WithParamInterface<Case> {};

// ---- progress divisor ----

struct DivisorCase {
    uint32_t size;
    long divisor;
    long maximum;
};
void PrintTo(const DivisorCase& c, std::ostream* os) { *os << c.size << " bytes"; }

using ProgressDivisorTest = UploadWith<DivisorCase>;

TEST_P(ProgressDivisorTest, BarHasAtMost3200Steps) {
    start({{5, GetParam().size}});
    EXPECT_EQ(rig.session.progressDivisor(), GetParam().divisor);
    EXPECT_EQ(rig.view.maximum, GetParam().maximum);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProgressDivisorTest,
                         ::testing::Values(DivisorCase{1, 1, 1}, DivisorCase{3200, 1, 3200},
                                           DivisorCase{3201, 10, 320}, DivisorCase{32000, 10, 3200},
                                           DivisorCase{32009, 10, 3200}, DivisorCase{32010, 100, 320},
                                           DivisorCase{4000000000u, 10000000, 400}),
                         [](const auto& info) { return "Size" + std::to_string(info.param.size); });

// ---- a whole upload ----

TEST_F(UploadRun, RunArrivesByteForByteAndIsExtracted) {
    const auto data = runBytes(2048);
    rig.listRuns({{5, 2048}});
    rig.queue({0}, "run.xxx", 1);
    EXPECT_EQ(rig.session.runsRemaining(), 1);
    EXPECT_EQ(rig.session.uploadFolder(), rig.dir.path());

    rig.sink.packets.clear();
    rig.session.supervisionTick();
    ASSERT_EQ(rig.sink.packets.size(), 1u);
    EXPECT_EQ(rig.sink.last(), bytesOf("02 02 BA BA 00 00 00 00 05 00 7D 01"));
    EXPECT_TRUE(rig.view.timeoutEnabled);
    EXPECT_EQ(rig.session.phase(), Phase::Requested);

    rig.block(1, 1024, data, 0);
    EXPECT_EQ(rig.sink.last(), bytesOf("02 02 A9 A9 01 00 00 00 01 00 58 01"));
    EXPECT_EQ(rig.session.phase(), Phase::Receiving);
    EXPECT_EQ(rig.view.uploadRun, "run.005");
    EXPECT_EQ(rig.view.uploadSize, "File Size:  1 K");
    EXPECT_EQ(rig.view.status, "Duplicate Packets:  0");
    EXPECT_EQ(rig.view.position, 1024);

    rig.block(2, 1024, data, 1024);
    EXPECT_EQ(rig.view.uploadSize, "File Size:  2 K");
    EXPECT_EQ(rig.view.position, 2048);
    rig.block(3, 0);
    EXPECT_EQ(rig.sink.packets.size(), 4u);  // request and three acknowledgements

    EXPECT_EQ(readFile(rig.file("run.005")), data);
    ASSERT_EQ(rig.extractions.size(), 1u);
    EXPECT_EQ(rig.extractions[0].path, rig.file("run.005"));
    EXPECT_EQ(rig.extractions[0].choice, 1);
    EXPECT_EQ(rig.extractions[0].contents, data);  // closed and complete before extraction
    EXPECT_EQ(rig.view.uploadRun, "Upload is Complete");
    EXPECT_EQ(rig.view.result, "Runs written to " + rig.dir.path().string() + ": run.005");
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_FALSE(rig.view.timeoutEnabled);
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    rig.session.timeoutTick();  // the finished upload stops the time-out timer
    EXPECT_EQ(rig.session.idleTicks(), 0);
    EXPECT_FALSE(rig.view.timeoutEnabled);
}

TEST_F(UploadRun, RepeatedBlockIsAcknowledgedCountedAndWrittenOnce) {
    const auto data = runBytes(2048);
    start({{5, 2048}});
    rig.block(7, 1024, data, 0);
    rig.block(7, 1024, data, 0);
    EXPECT_EQ(rig.session.duplicateCount(), 1);
    EXPECT_EQ(ackNumber(rig.sink.packets.back()), 7);
    EXPECT_EQ(rig.sink.countOf(cmd::kBlockAck), 2);
    rig.block(8, 1024, data, 1024);
    EXPECT_EQ(rig.view.status, "Duplicate Packets:  1");
    rig.block(9, 0);
    EXPECT_EQ(readFile(rig.file("run.005")), data);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

TEST_F(UploadRun, FirstBlockOfARunIsNeverTakenForARepeat) {
    const auto a = runBytes(1024, 1), b = runBytes(1024, 2);
    start({{1, 1024}, {2, 1024}}, {0, 1});
    rig.block(0, 1024, a);  // numbered 0 like the start-up value of the last block number
    rig.block(1, 0);
    rig.session.supervisionTick();
    rig.block(1, 1024, b);  // same number as the block that ended the run before
    rig.block(2, 0);
    EXPECT_EQ(readFile(rig.file("run.001")), a);
    EXPECT_EQ(readFile(rig.file("run.002")), b);
    EXPECT_EQ(boxesTitled(rig.dialogs, "Run.002 - File Upload Error"), 0);
}

// The logger repeats the block that ended a run until an acknowledgement comes; each repeat
// must be answered, also once the last run is home and no run file is open any more.
using EndBlockRepeated = UploadWith<int>;

TEST_P(EndBlockRepeated, IsAcknowledgedEveryTimeAndChangesNothing) {
    const auto data = runBytes(100);
    start({{1, 100}, {2, 100}}, GetParam() == 1 ? std::vector<int>{0} : std::vector<int>{0, 1});
    rig.block(1, 100, data);
    rig.block(2, 0);
    for (int repeat = 1; repeat <= 3; ++repeat) {
        rig.block(2, 0);
        EXPECT_EQ(acksOf(2), 1 + repeat) << "repeat " << repeat;
    }
    EXPECT_EQ(readFile(rig.file("run.001")), data);
    EXPECT_EQ(rig.extractions.size(), 1u);
    EXPECT_EQ(rig.session.runsRemaining(), GetParam() - 1);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Upload, EndBlockRepeated, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "AfterTheLastRun" : "BetweenRuns"; });

TEST_F(UploadRun, LateRepeatOfTheLastRunsEndBlockDoesNotEndTheNextRun) {
    const auto a = runBytes(100, 1), b = runBytes(200, 2);
    start({{1, 100}, {2, 200}}, {0, 1});
    rig.block(1, 100, a);
    rig.block(2, 0);
    rig.session.supervisionTick();
    rig.block(2, 0);  // still repeating after run 2 was requested: answered, nothing else
    EXPECT_EQ(acksOf(2), 2);
    EXPECT_EQ(rig.session.phase(), Phase::Requested);
    EXPECT_EQ(rig.extractions.size(), 1u);
    rig.block(1, 200, b);
    rig.block(3, 0);
    EXPECT_EQ(readFile(rig.file("run.002")), b);
    EXPECT_EQ(rig.extractions.size(), 2u);
}

TEST_F(UploadRun, BlockCountAbove1024WritesOnlyTheBlocksData) {
    const auto data = runBytes(1024);
    start({{5, 1024}});
    rig.block(1, 2000, data);
    EXPECT_EQ(rig.session.bytesReceived(), 1024);
    rig.block(2, 0);
    EXPECT_EQ(readFile(rig.file("run.005")), data);
}

TEST_F(UploadRun, BlocksThatCarryNoDataForTheFileWriteNothing) {
    rig.block(1, 1024, runBytes(1024));  // no run file open: not even acknowledged
    EXPECT_TRUE(rig.sink.packets.empty());
    start({{5, 1024}});
    rig.block(1, -5, runBytes(1024));  // negative count: acknowledged, nothing else
    EXPECT_EQ(rig.sink.countOf(cmd::kBlockAck), 1);
    EXPECT_EQ(rig.session.phase(), Phase::Requested);
    EXPECT_EQ(std::filesystem::file_size(rig.file("run.005")), 0u);
}

// ---- time-outs ----

TEST_F(UploadRun, RequestIsRepeatedAfterThreeIdleTimeoutTicks) {
    start({{5, 1024}});
    rig.session.timeoutTick();
    rig.session.timeoutTick();
    rig.session.supervisionTick();
    EXPECT_EQ(rig.requests(), 1);
    rig.session.timeoutTick();
    rig.session.supervisionTick();
    ASSERT_EQ(rig.requests(), 2);
    const auto requests = rig.sink.withCode(cmd::kUploadRequest);
    EXPECT_EQ(requests[0], requests[1]);
    // Once blocks flow, silence never brings a repeat.
    rig.block(1, 512, runBytes(1024));
    for (int i = 0; i < 5; ++i) {
        rig.session.timeoutTick();
        rig.session.supervisionTick();
    }
    EXPECT_EQ(rig.requests(), 2);
}

TEST_F(UploadRun, CancelOfARequestThatBringsNoBlockEndsTheUpload) {
    start({{5, 1024}, {6, 1024}}, {0, 1});
    rig.session.cancel();
    for (int i = 0; i < 3; ++i) rig.session.timeoutTick();
    rig.session.supervisionTick();
    EXPECT_EQ(rig.requests(), 1);
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
    EXPECT_FALSE(rig.view.timeoutEnabled);
    EXPECT_FALSE(rig.session.cancelRequested());
    rig.sink.packets.clear();
    rig.memory.getDirectory(9, "KR-8");  // no longer refused
    EXPECT_EQ(rig.sink.countOf(cmd::kGetDirectory), 1);
}

TEST_F(UploadRun, CancelWhileTheLoggerFallsSilentMidRunEndsTheUpload) {
    start({{5, 4096}});
    rig.block(1, 1024, runBytes(4096));
    for (int i = 0; i < 10; ++i) {  // silent, not cancelled: the upload waits
        rig.session.timeoutTick();
        rig.session.supervisionTick();
    }
    EXPECT_EQ(rig.session.runsRemaining(), 1);
    EXPECT_EQ(rig.view.status, "No data from the logger for 10 s");
    rig.session.cancel();
    for (int i = 0; i < 3; ++i) rig.session.timeoutTick();
    rig.session.supervisionTick();
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
    EXPECT_EQ(std::filesystem::file_size(rig.file("run.005.part")), 1024u);  // kept as received
    EXPECT_FALSE(std::filesystem::exists(rig.file("run.005")));
    EXPECT_EQ(rig.view.result, "Runs written to " + rig.dir.path().string() + ": run.005.part incomplete (1024 of 4096 bytes)");
    EXPECT_EQ(rig.view.status, "");  // no "No data from the logger" left behind
}

TEST_F(UploadRun, LoggerSilentInARunningRunIsShownAfterTenSeconds) {
    start({{5, 4096}});
    rig.block(1, 1024, runBytes(4096));
    for (int s = 1; s <= 12; ++s) {
        rig.session.supervisionTick();
        EXPECT_EQ(rig.view.status, s < 10 ? "Duplicate Packets:  0" : "No data from the logger for " + std::to_string(s) + " s");
    }
    rig.block(1, 1024, runBytes(4096));  // even a repeat shows the logger is back
    EXPECT_EQ(rig.view.status, "Duplicate Packets:  1");
    rig.session.supervisionTick();
    EXPECT_EQ(rig.view.status, "Duplicate Packets:  1");
}

// ---- size checks ----

struct MismatchCase {
    uint32_t listed;
    size_t sent;
    const char* text;
    std::string written;  // the page's line for the run
};
void PrintTo(const MismatchCase& c, std::ostream* os) { *os << c.listed << " listed, " << c.sent << " sent"; }

using SizeMismatchTest = UploadWith<MismatchCase>;

TEST_P(SizeMismatchTest, WarnsAndStillKeepsAndExtractsTheFile) {
    const auto data = runBytes(GetParam().sent);
    start({{12, GetParam().listed}});
    rig.sendRun(data, 1);
    EXPECT_TRUE(rig.dialogs.saw("Run.012 - File Upload Error", GetParam().text));
    EXPECT_EQ(readFile(rig.file("run.012")), data);
    EXPECT_EQ(rig.extractions.size(), 1u);
    EXPECT_EQ(rig.view.uploadRun, "Upload is Complete");
    EXPECT_EQ(rig.view.result, "Runs written to " + rig.dir.path().string() + ": " + GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeMismatchTest,
                         ::testing::Values(MismatchCase{3000, 2048, "File Sent is Smaller than Expected",
                                                        "run.012 incomplete (2048 of 3000 bytes)"},
                                           MismatchCase{1000, 2048, "File Sent is Bigger than Expected", "run.012"}),
                         [](const auto& info) { return info.param.listed > info.param.sent ? "Smaller" : "Bigger"; });

// ---- cancel ----

TEST_F(UploadRun, CancelTravelsInTheNextAcknowledgementAndEndsAfterTheRun) {
    const auto data = runBytes(2048);
    start({{5, 2048}, {6, 100}}, {0, 1});
    rig.block(1, 1024, data, 0);
    rig.session.cancel();
    rig.block(2, 1024, data, 1024);
    EXPECT_EQ(rig.sink.last(), bytesOf("02 02 A9 A9 02 00 00 00 02 00 5A 01"));
    rig.block(3, 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(readFile(rig.file("run.005")), data);
    // The run is whole (2048 of 2048 bytes): it is no error and is extracted.
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    for (int i = 0; i < 5; ++i) rig.session.supervisionTick();
    EXPECT_EQ(rig.requests(), 1);

    // Run 6 stays behind: a later upload of another run fetches that one alone.
    start({{5, 2048}, {6, 100}, {7, 100}}, {2});
    ASSERT_EQ(rig.requests(), 2);
    EXPECT_EQ(getU16le(&rig.sink.withCode(cmd::kUploadRequest)[1][8]), 7);
    rig.sendRun(runBytes(100), 20);
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    for (int i = 0; i < 5; ++i) rig.session.supervisionTick();
    EXPECT_EQ(rig.requests(), 2);
}

// Cancelled in the middle of a run: no error box, no extraction whose Summary would pass for a
// whole run's, and what came is kept as run.NNN.part, named incomplete on the page.
TEST_F(UploadRun, ACancelledRunIsNamedIncompleteAndNotExtracted) {
    const auto data = runBytes(3000);
    start({{5, 3000}});
    rig.block(1, 1024, data, 0);
    rig.session.cancel();
    rig.block(2, 1024, data, 1024);
    rig.block(3, 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_TRUE(rig.extractions.empty());
    EXPECT_NE(rig.view.result.find("run.005.part incomplete (2048 of 3000 bytes)"), std::string::npos) << rig.view.result;
    EXPECT_EQ(readFile(rig.file("run.005.part")), std::vector<uint8_t>(data.begin(), data.begin() + 2048));
    EXPECT_FALSE(std::filesystem::exists(rig.file("run.005"))) << "a half run under a whole run's name";
    EXPECT_EQ(runNumberFromPath(rig.file("run.005.part")), 5) << "Parse Run Files takes it as run 5";
}

TEST_F(UploadRun, CancelPressedWhileIdleDoesNotCancelTheNextUpload) {
    rig.listRuns({{5, 100}});
    rig.session.cancel();
    rig.queue({0});
    rig.session.supervisionTick();
    rig.block(1, 100, runBytes(100));
    EXPECT_EQ(ackArgument(rig.sink.packets.back()), 1u);
}

TEST_F(UploadRun, CancelledSaveDialogLeavesNothingQueued) {
    rig.listRuns({{5, 100}, {6, 100}});
    rig.dialogs.fileAnswers.push_back(std::nullopt);
    rig.session.queueSelection({0}, 1);
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    rig.queue({1});
    EXPECT_EQ(rig.session.runsRemaining(), 1);
    rig.session.supervisionTick();
    rig.sendRun(runBytes(100), 1);
    EXPECT_EQ(rig.requests(), 1);
    EXPECT_EQ(getU16le(&rig.sink.withCode(cmd::kUploadRequest)[0][8]), 6);
    EXPECT_FALSE(std::filesystem::exists(rig.file("run.005")));
    EXPECT_EQ(rig.session.runsRemaining(), 0);
}

// ---- files that cannot be written ----

struct UnwritableCase {
    const char* name;
    const char* failure;  // the verb in the box
    std::vector<std::pair<int16_t, uint32_t>> runs;
    int requests;  // a run file that cannot be made is never asked for
};
void PrintTo(const UnwritableCase& c, std::ostream* os) { *os << c.name; }
using UnwritableRunFile = UploadWith<UnwritableCase>;

TEST_P(UnwritableRunFile, IsReportedAndStopsTheUpload) {
    const auto& c = GetParam();
    const bool atWrite = c.requests > 0;
    if (atWrite) {
        if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
        std::filesystem::create_symlink("/dev/full", rig.file("run.005"));
    } else {
        std::filesystem::create_directory(rig.file("run.005"));
    }
    start(c.runs, c.runs.size() == 1 ? std::vector<int>{0} : std::vector<int>{0, 1});
    if (atWrite) {
        rig.block(1, 1024, runBytes(2048));
        EXPECT_EQ(ackArgument(rig.sink.packets.back()), 2u);  // cancel: nothing more can be kept
        rig.block(2, 0);
    }
    EXPECT_TRUE(rig.dialogs.saw("Run.005 - File Upload Error", std::string("Unable to ") + c.failure + " the run file " +
                                                                   rig.file("run.005").string() + "\n\nThe upload is stopped."));
    EXPECT_EQ(rig.requests(), c.requests);
    EXPECT_TRUE(rig.extractions.empty());
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
}

INSTANTIATE_TEST_SUITE_P(Upload, UnwritableRunFile,
                         ::testing::Values(UnwritableCase{"CannotBeCreated", "create", {{5, 100}, {6, 100}}, 0},
                                           UnwritableCase{"WriteFails", "write", {{5, 2048}}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- boxes run the timers ----

TEST_F(UploadRun, TicksInsideTheEndOfRunBoxesStartNothingAndCountNothing) {
    start({{5, 3000}, {6, 100}}, {0, 1});
    int nested = 0;
    rig.dialogs.whileOpen = [&] {
        ++nested;
        for (int i = 0; i < 5; ++i) {
            rig.session.timeoutTick();
            rig.session.supervisionTick();
        }
        rig.block(40, 1024, runBytes(1024));  // arrives while the file is closed
        EXPECT_TRUE(rig.session.extractionRunning());
        EXPECT_EQ(rig.session.idleTicks(), 0);
    };
    rig.duringExtraction = [](WarningSink& w, const auto&) { w.warning("Unknown Type:  99 63", "Record Not Saved"); };
    rig.sendRun(runBytes(2048), 1);  // smaller than listed: a box before the extraction
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(rig.requests(), 1);
    EXPECT_FALSE(rig.session.extractionRunning());
    EXPECT_EQ(rig.session.runsRemaining(), 1);
    EXPECT_EQ(std::filesystem::file_size(rig.file("run.005")), 2048u);

    rig.dialogs.whileOpen = nullptr;
    rig.session.supervisionTick();
    EXPECT_EQ(rig.requests(), 2);
}

TEST_F(UploadRun, TicksInsideTheOverwriteQuestionAskNothingTwice) {
    writeFile(rig.file("run.005"), {1});
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0, 1});
    rig.dialogs.whileOpen = [&] {
        for (int i = 0; i < 4; ++i) {
            rig.session.timeoutTick();
            rig.session.supervisionTick();
        }
    };
    rig.session.supervisionTick();
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.requests(), 1);
}

// ---- time left ----

struct TimeLeftCase {
    const char* name;
    int64_t remaining;
    double rate;
    const char* shown;
};
void PrintTo(const TimeLeftCase& c, std::ostream* os) { *os << c.name; }
class TimeLeft : public ::testing::TestWithParam<TimeLeftCase> {};

TEST_P(TimeLeft, IsTheRestAtTheMeasuredRate) {
    EXPECT_EQ(timeLeftText(GetParam().remaining, GetParam().rate), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Upload, TimeLeft,
                         ::testing::Values(TimeLeftCase{"A401KRunAt820BytesASecond", 401 * 1024, 820, "about 8 min left"},
                                           TimeLeftCase{"UnderAMinute", 5000, 1000, "about 5 s left"},
                                           TimeLeftCase{"OverAnHour", 4000000, 820, "about 1 h 21 min left"},
                                           TimeLeftCase{"NoRateMeasuredYet", 5000, 0, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UploadRun, TimeLeftShowsWhileARunComesAndGoesWithIt) {
    const auto data = runBytes(10240);
    start({{5, 10240}});
    rig.session.supervisionTick();
    EXPECT_EQ(rig.view.timeLeft, "") << "no block yet, no rate";
    rig.block(1, 1024, data, 0);
    rig.block(2, 1024, data, 1024);
    rig.session.supervisionTick();  // 2048 bytes in the first second: 8192 to go
    EXPECT_EQ(rig.view.timeLeft, "about 4 s left");
    rig.sendRun(std::vector<uint8_t>(data.begin() + 2048, data.end()), 3);
    EXPECT_EQ(rig.view.timeLeft, "");
}

} // namespace
} // namespace cv::test
