// The simulated logger's line: the faults it lays on the bytes and what a host that leaves and
// comes back finds.
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

// --- Line faults ------------------------------------------------------------------------------------

TEST_F(SimulatorOverPty, BaudMismatchSendsBytesThatNeverFrameAndUnderstandsNothing) {
    auto options = fastOptions();
    options.faults.baudMismatch = true;
    start(options);
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().garbageBytesSent >= 3 * 132; }, kDeadline));
    const auto bytes = line->readRaw(3 * 132, kDeadline);
    EXPECT_GE(bytes.size(), 3u * 132);
    EXPECT_TRUE(framePackets(bytes).empty());
    line->write(bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().bytesIgnored >= 12; }, kDeadline));
    EXPECT_TRUE(sim->probe().received().empty());
}

TEST_F(SimulatorOverPty, WrongLineSpeedGivesGarbageUntilTheHostFollows) {
    auto options = fastOptions();
    options.checkLineSpeed = true;
    start(options);
    line->setLine(B38400, 8);
    const uint64_t before = sim->probe().stats().garbageBytesSent;
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().garbageBytesSent >= before + 2 * 132; }, kDeadline));
    line->readAvailable();
    line->readRaw(0, 0ms);  // forget what came before
    const uint64_t mark = sim->probe().stats().garbageBytesSent;
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().garbageBytesSent >= mark + 2 * 132; }, kDeadline));
    EXPECT_TRUE(framePackets(line->readRaw(2 * 132, kDeadline)).empty());
    line->setLine(B9600, 8);
    EXPECT_TRUE(line->nextOfType(3));
}

TEST_F(SimulatorOverPty, SilentLoggerSendsNothingButStillObeys) {
    auto options = fastOptions();
    options.faults.silent = true;
    start(options);
    line->write(bytesOf("02 02 A6 A6 00 00 00 00 03 00 53 01"));
    line->write(bytesOf("02 02 AC AC 00 00 00 00 00 00 5C 01"));
    ASSERT_TRUE(sim->probe().waitForCommand(0xACAC, kDeadline));
    EXPECT_EQ(sim->logger().loggerId(), 3);
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().statusPeriods >= 3; }, kDeadline));
    EXPECT_EQ(line->readAvailable(), 0u);
    EXPECT_EQ(sim->probe().stats().bytesSent, 0u);
}

TEST_F(SimulatorOverPty, AHostThatLeavesAndComesBackGetsNoStaleBytes) {
    start();
    const std::string path = sim->line().devicePath();
    ASSERT_TRUE(line->nextOfType(3));
    line.reset();
    ASSERT_TRUE(sim->probe().waitUntil([&] { return !sim->line().isConnected(); }, kDeadline));
    const uint64_t dropped = sim->probe().stats().bytesDropped;
    ASSERT_TRUE(sim->probe().waitUntil([&] { return sim->probe().stats().bytesDropped > dropped; }, kDeadline));
    line = std::make_unique<LoggerLine>(path);
    ASSERT_TRUE(sim->line().waitForConnection(kDeadline));
    const auto status = line->nextOfType(3);
    ASSERT_TRUE(status);
    EXPECT_EQ(line->droppedBytes(), 0u) << "the first bytes after opening start a packet";
}

} // namespace
} // namespace cv::test
