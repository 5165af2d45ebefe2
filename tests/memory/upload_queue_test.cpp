// Queueing an upload: what the save dialog offers and takes, the questions about existing run
// files, and the refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "upload_rig.h"
#include "support/case_name.h"

namespace cv::test {
namespace {

// ---- refusals ----

struct BusyCase {
    const char* name;
    std::function<void(UploadRig&)> press;
};
void PrintTo(const BusyCase& c, std::ostream* os) { *os << c.name; }

class WhileQueuedRunsRemain : public ::testing::TestWithParam<BusyCase> {};

// Queued runs are still in the logger: no other job may touch its memory or the extraction.
TEST_P(WhileQueuedRunsRemain, EveryOtherJobIsRefusedBeforeItAsksOrSends) {
    UploadRig rig;
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0});
    rig.sink.packets.clear();
    const size_t fileChoices = rig.dialogs.fileChoices.size();
    GetParam().press(rig);
    EXPECT_TRUE(rig.sink.packets.empty());
    EXPECT_EQ(rig.dialogs.fileChoices.size(), fileChoices);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_TRUE(rig.dialogs.saw("Unable to comply", "Upload in progress"));
    EXPECT_EQ(rig.session.runsRemaining(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Upload, WhileQueuedRunsRemain,
    ::testing::Values(BusyCase{"QueueMore", [](UploadRig& r) { r.session.queueSelection({1}, 1); }},
                      BusyCase{"GetDirectory", [](UploadRig& r) { r.memory.getDirectory(9, "KR-8"); }},
                      BusyCase{"ClearMemory", [](UploadRig& r) { r.memory.clearMemory(); }},
                      BusyCase{"ExtractOnDemand", [](UploadRig& r) { r.onDemand.extractChosenFile(1); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Upload, RefusedWithoutAFileTypeChoice) {
    UploadRig rig;
    rig.listRuns({{5, 100}});
    rig.session.queueSelection({0}, -1);
    EXPECT_TRUE(rig.dialogs.saw("Unable to comply", "Please Select the File Types To Be Extracted"));
    EXPECT_TRUE(rig.dialogs.fileChoices.empty());
}

struct SelectionCase {
    std::vector<int> rows;
    const char* text;
};
void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.rows.size() << " rows"; }

class NothingToUpload : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(NothingToUpload, SaysWhyAndAsksForNoFolder) {
    UploadRig rig;
    rig.listRuns({{5, 0}});
    rig.session.queueSelection(GetParam().rows, 0);
    EXPECT_TRUE(rig.dialogs.fileChoices.empty());
    EXPECT_TRUE(rig.dialogs.saw("Unable to comply", GetParam().text));
    EXPECT_EQ(rig.session.runsRemaining(), 0);
}

INSTANTIATE_TEST_SUITE_P(Upload, NothingToUpload,
                         ::testing::Values(SelectionCase{{}, "Select the runs to upload in the list first"},
                                           SelectionCase{{0, 3}, "The runs selected hold no data: there is nothing to upload"}),
                         [](const auto& i) { return std::string(i.param.rows.empty() ? "NoneSelected" : "SelectedHoldNoData"); });

struct NameCase {
    const char* typed;
    bool accepted;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.typed; }

class TypedName : public ::testing::TestWithParam<NameCase> {};

// The runs keep their logger numbers as names; any other name typed is refused, never dropped.
TEST_P(TypedName, OnlyTheRunNamesAreTaken) {
    UploadRig rig;
    rig.listRuns({{5, 100}, {6, 100}, {7, 100}});
    rig.queue({0, 1}, GetParam().typed);
    EXPECT_EQ(rig.session.runsRemaining(), GetParam().accepted ? 2 : 0);
    const std::string refusal = std::string("Runs are saved as run.NNN in the folder chosen, so the name ") +
                                GetParam().typed + " cannot be used.\n\nChoose only the folder and keep the name run.xxx.";
    EXPECT_EQ(rig.dialogs.saw("Save Logger File", refusal), !GetParam().accepted);
    rig.session.supervisionTick();
    EXPECT_EQ(rig.requests(), GetParam().accepted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Upload, TypedName,
                         ::testing::Values(NameCase{"run.xxx", true}, NameCase{"Run.006", true}, NameCase{"mycast.dat", false},
                                           NameCase{"run.007", false}),
                         [](const auto& info) { return std::string(info.param.accepted ? "Taken" : "Refused") + std::to_string(info.index); });

TEST(Upload, SaveDialogProposesTheRunFileOrManyRuns) {
    UploadRig rig;
    rig.listRuns({{5, 100}, {9, 100}});
    rig.dialogs.fileAnswers = {std::nullopt, std::nullopt};
    rig.session.queueSelection({1}, 0);
    rig.session.queueSelection({0, 1}, 0);
    ASSERT_EQ(rig.dialogs.fileChoices.size(), 2u);
    EXPECT_EQ(rig.dialogs.fileChoices[0].title, "Save Logger File");
    EXPECT_EQ(rig.dialogs.fileChoices[0].filter, "Run (run.000-run.999)|run.*");
    EXPECT_TRUE(rig.dialogs.fileChoices[0].askOverwrite);
    EXPECT_EQ(rig.dialogs.fileChoices[0].proposedName, "run.009");
    EXPECT_EQ(rig.dialogs.fileChoices[1].proposedName, "run.xxx");
}

// ---- existing files ----

TEST(Upload, ExistingFileAskedAboutWithYesOverwrites) {
    UploadRig rig;
    writeFile(rig.file("run.005"), {1, 2, 3});
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0, 1});
    rig.session.supervisionTick();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    const auto& q = rig.dialogs.boxes[0];
    EXPECT_EQ(q.caption, "");
    EXPECT_EQ(q.text, "File run.005 Exists ... Overwrite ?\n\n\tYes = Overwrite File\n\tNo = Skip file\n\tCancel = Abort Upload");
    EXPECT_EQ(q.buttons, Buttons::YesNoCancel);
    const auto data = runBytes(100);
    rig.sendRun(data, 1);
    EXPECT_EQ(readFile(rig.file("run.005")), data);
}

TEST(Upload, SkippedRunsLeaveTheCountAndTheFilesAlone) {
    UploadRig rig;
    writeFile(rig.file("run.005"), {1, 2, 3});
    writeFile(rig.file("run.006"), {4, 5});
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0, 1});
    rig.dialogs.answers = {Answer::No, Answer::No};
    rig.session.supervisionTick();
    EXPECT_EQ(rig.dialogs.boxes.size(), 2u);
    EXPECT_EQ(rig.requests(), 0);
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload is Complete");
    EXPECT_EQ(readFile(rig.file("run.005")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(readFile(rig.file("run.006")), (std::vector<uint8_t>{4, 5}));
    rig.sink.packets.clear();
    rig.memory.getDirectory(9, "KR-8");
    EXPECT_EQ(rig.sink.countOf(cmd::kGetDirectory), 1);
}

TEST(Upload, LastQueuedRunIsNotOverwrittenUnasked) {
    UploadRig rig;
    writeFile(rig.file("run.006"), {4, 5});
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0, 1});
    rig.session.supervisionTick();
    rig.sendRun(runBytes(100), 1);
    EXPECT_EQ(rig.session.runsRemaining(), 1);
    rig.dialogs.answers = {Answer::No};
    rig.session.supervisionTick();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text.substr(0, 13), "File run.006 ");
    EXPECT_EQ(readFile(rig.file("run.006")), (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.view.uploadRun, "Upload is Complete");
}

TEST(Upload, FileConfirmedInTheSaveDialogIsNotAskedAboutAgain) {
    UploadRig rig;
    writeFile(rig.file("run.005"), {1, 2, 3});
    rig.listRuns({{5, 100}});
    rig.queue({0}, "run.005");
    ASSERT_EQ(rig.dialogs.fileChoices.size(), 1u);
    EXPECT_EQ(rig.dialogs.fileChoices[0].proposedName, "run.005");
    rig.session.supervisionTick();
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    const auto data = runBytes(100);
    rig.sendRun(data, 1);
    EXPECT_EQ(readFile(rig.file("run.005")), data);
}

TEST(Upload, EmptyExistingFileIsOverwrittenWithoutAQuestion) {
    UploadRig rig;
    writeFile(rig.file("run.005"), {});
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0, 1});
    rig.session.supervisionTick();
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_EQ(rig.requests(), 1);
}

TEST(Upload, CancelAtTheOverwriteQuestionAbortsAndForgetsTheQueue) {
    UploadRig rig;
    writeFile(rig.file("run.005"), {1});
    rig.listRuns({{5, 100}, {6, 100}, {7, 100}});
    rig.queue({0, 1});
    rig.dialogs.answers = {Answer::Cancel};
    rig.session.supervisionTick();
    EXPECT_EQ(rig.view.uploadRun, "Upload Cancelled");
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.requests(), 0);
    rig.queue({2});
    rig.session.supervisionTick();
    rig.sendRun(runBytes(100), 1);
    for (int i = 0; i < 3; ++i) rig.session.supervisionTick();
    ASSERT_EQ(rig.requests(), 1);
    EXPECT_EQ(getU16le(&rig.sink.withCode(cmd::kUploadRequest)[0][8]), 7);
}

} // namespace
} // namespace cv::test
