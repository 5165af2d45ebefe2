// The simulated logger's directory and upload as the host sees them over a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "run_file_generator.h"
#include "simulator_pty_rig.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

// --- Directory and upload ---------------------------------------------------------------------------

// The Summary record (type 11) payload of a run file, whose fields are big-endian.
std::vector<uint8_t> simulatorSummaryOf(const std::vector<uint8_t>& run) {
    size_t pos = 0;
    while (pos + 4 <= run.size()) {
        const int size = le16s(run, pos);
        if (size < 1 || pos + 4 + size_t(size) > run.size()) break;
        if (le16s(run, pos + 2) == 11) return {run.begin() + long(pos + 4), run.begin() + long(pos + 4 + size_t(size))};
        pos += 4 + size_t(size);
    }
    return {};
}

TEST_F(SimulatorOverPty, DirectoryListsEveryRunAsItsSummarySaysAndUploadsAreByteIdentical) {
    start();
    const auto numbers = sim->memory().generateRuns(3, 7);
    ASSERT_EQ(numbers.size(), 3u);
    line->write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    for (int16_t number : numbers) {
        const auto entry = line->nextOfType(5);
        ASSERT_TRUE(entry);
        const auto& e = entry->bytes;
        const auto run = *sim->memory().runBytes(number);
        const auto summary = simulatorSummaryOf(run);
        ASSERT_GE(summary.size(), 196u);
        EXPECT_EQ(le16s(e, 2), number);
        EXPECT_EQ(le16s(e, 4), int16_t(be16(summary, 2)));                   // mode
        for (size_t port = 1; port <= 8; ++port)
            EXPECT_EQ(le16s(e, 6 + 2 * port), int16_t(be16(summary, 12 + 2 * port))) << "port " << port;
        for (size_t channel = 0; channel < 7; ++channel)
            EXPECT_EQ(le16s(e, 26 + 2 * channel), int16_t(be16(summary, 130 + 2 * channel)));
        EXPECT_EQ(le32(e, 48), (uint32_t(be16(summary, 176)) << 16) | be16(summary, 178));  // start time
        EXPECT_EQ(le32(e, 52), run.size());
        EXPECT_EQ(le16s(e, 56), int16_t(be16(summary, 192)));
        EXPECT_EQ(le16s(e, 58), int16_t(be16(summary, 194)));
    }
    for (int16_t number : numbers) {
        const auto upload = uploadRun(*line, number);
        ASSERT_TRUE(upload.finished);
        EXPECT_EQ(upload.bytes, *sim->memory().runBytes(number));
        EXPECT_EQ(upload.duplicates, 0u);
        for (size_t i = 1; i < upload.blockNumbers.size(); ++i)
            EXPECT_NE(upload.blockNumbers[i], upload.blockNumbers[i - 1]);
    }
    EXPECT_TRUE(sim->logger().waitForState(9, kDeadline));
}

TEST_F(SimulatorOverPty, ARunLoadedFromAFileIsListedAndUploadedAsTheFileIs) {
    start();
    TempDir dir;
    const auto path = dir / "run.012";
    sim::RunFileOptions options;
    options.seed = 21;
    options.targetSize = 3000;
    options.runNumber = 12;
    ASSERT_TRUE(sim::RunFileGenerator(options).writeFile(path));
    std::string error;
    ASSERT_TRUE(sim->memory().addRunFile(12, path, &error)) << error;
    EXPECT_FALSE(sim->memory().addRunFile(13, dir / "run.013", &error));
    line->write(bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    const auto entry = line->nextOfType(5);
    ASSERT_TRUE(entry);
    EXPECT_EQ(le16s(entry->bytes, 2), 12);
    EXPECT_EQ(le32(entry->bytes, 52), std::filesystem::file_size(path));
    const auto upload = uploadRun(*line, 12);
    ASSERT_TRUE(upload.finished);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(upload.bytes, file);
}

TEST_F(SimulatorOverPty, LostAcknowledgementsBringDuplicatesButTheFileArrivesWhole) {
    auto options = fastOptions();
    options.faults.lostAckFraction = 0.5;
    start(options);
    const int16_t run = sim->memory().generateRuns(1, 11).front();
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->memory().runBytes(run));
    EXPECT_GT(upload.duplicates, 0u);
    EXPECT_EQ(upload.duplicates, sim->probe().stats().acksIgnored);
}

TEST_F(SimulatorOverPty, CorruptedBlocksFailTheirChecksumAndAreRepeated) {
    auto options = fastOptions();
    options.faults.corruptFraction = 0.3;
    start(options);
    const int16_t run = sim->memory().generateRuns(1, 12).front();
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->memory().runBytes(run));
    EXPECT_GT(line->badUploadCandidates(), 0u);
    EXPECT_EQ(line->badUploadCandidates(), sim->probe().stats().corruptedBlocks);
}

TEST_F(SimulatorOverPty, ThrottledLineStillDeliversTheRun) {
    auto options = fastOptions();
    options.faults.throttleBytesPerSecond = 40000;
    start(options);
    const int16_t run = sim->memory().generateRuns(1, 13).front();
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->memory().runBytes(run));
}

TEST_F(SimulatorOverPty, CancelInTheAcknowledgementEndsTheRunWithACountZeroBlock) {
    start();
    const int16_t run = sim->memory().generateRuns(1, 3).front();
    ASSERT_GT(sim->memory().runBytes(run)->size(), 1024u);
    const auto upload = uploadRun(*line, run, /*cancelAtFirst=*/true);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.blockNumbers.size(), 2u);  // one data block, then the end
    EXPECT_EQ(upload.bytes.size(), 1024u);
    EXPECT_EQ(sim->probe().stats().uploadsCancelled, 1u);
    EXPECT_TRUE(sim->logger().waitForState(9, kDeadline));
}

TEST_F(SimulatorOverPty, AWithheldFirstBlockComesOnTheRepeatedRequest) {
    auto options = fastOptions();
    options.faults.withheldFirstBlocks = 1;
    start(options);
    const int16_t run = sim->memory().generateRuns(1, 5).front();
    line->write(commandBytes(0xBABA, uint16_t(run)));
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().firstBlocksWithheld == 1; }, kDeadline));
    EXPECT_EQ(sim->probe().stats().uploadBlocksSent, 0u);
    const auto upload = uploadRun(*line, run);
    ASSERT_TRUE(upload.finished);
    EXPECT_EQ(upload.bytes, *sim->memory().runBytes(run));
}

TEST_F(SimulatorOverPty, AnUnknownRunIsAnsweredWithAnEmptyFile) {
    start();
    const auto upload = uploadRun(*line, 99);
    ASSERT_TRUE(upload.finished);
    EXPECT_TRUE(upload.bytes.empty());
    EXPECT_EQ(upload.blockNumbers.size(), 1u);
}

TEST_F(SimulatorOverPty, ClearMemoryEmptiesTheDirectory) {
    start();
    sim->memory().generateRuns(2, 9);
    // Answers keep the order of the requests and the line keeps the order of what was sent: the
    // directory asked for behind the clear is the emptied one, whose entries would come before
    // the setup asked for behind it, and every status after that setup was made after the clear.
    // (Whether a status catches the clearing itself depends on how busy the machine is.)
    auto requests = bytesOf("02 02 BD BD 00 00 00 00 01 00 7F 01");
    for (const char* request : {"02 02 B8 B8 00 00 00 00 00 00 74 01", "02 02 AC AC 00 00 00 00 00 00 5C 01"}) {
        const auto bytes = bytesOf(request);
        requests.insert(requests.end(), bytes.begin(), bytes.end());
    }
    line->write(requests);
    const auto first = line->next([](const LoggerPacket& p) { return p.type == 5 || p.type == 1; });
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, 1);
    EXPECT_TRUE(sim->memory().runNumbers().empty());
    EXPECT_TRUE(statusWhere([](const LoggerPacket& p) { return statusState(p) == 9; })) << "back in Standby";
}

} // namespace
} // namespace cv::test
