#include <gtest/gtest.h>

#include <filesystem>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "adapters/serial_port_qt.h"
#include "ports/device_lock.h"
#include "simulator.h"
#include "link/command_sender.h"
#include "link/operator_commands.h"
#include "link/port_slots.h"
#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

struct QtPortFixture : ::testing::Test {
    test::TempDir dir;
    PortMap map;
    test::FakeDialogs dialogs;
    QtSerialFactory factory{map};
    PortSlotTable ports{factory, dialogs};
};

TEST_F(QtPortFixture, PathsThatAreNoSerialDeviceFailWithTheOpenMessageNamingThem) {
    std::ofstream(dir / "plain.txt") << "not a port";
    map.set(2, (dir / "plain.txt").string());
    map.set(3, (dir / "missing").string());
    map.set(4, dir.path().string());
    for (int com : {2, 3, 4}) {
        ports.openPortSlot(0, com, 6);
        EXPECT_FALSE(ports.isPortOpen(0)) << com;
        EXPECT_TRUE(dialogs.saw("Could Not Open COM" + std::to_string(com),
                                "COM" + std::to_string(com) + " (" + map.deviceFor(com) +
                                    ") may already be assigned or may not exist"));
    }
}

TEST_F(QtPortFixture, PseudoTerminalCarriesBothWaysWithoutWaiting) {
    test::PtyPair pty;
    map.set(1, pty.slavePath());
    ports.openPortSlot(0, 1, 11);
    ASSERT_TRUE(ports.isPortOpen(0));
    uint8_t buf[64];
    EXPECT_EQ(ports.readPort(0, buf, sizeof buf), 0u);  // nothing pending: returns at once

    const uint8_t out[] = {2, 2, 0xA1, 0xA1};
    EXPECT_TRUE(ports.writePort(0, out, sizeof out));
    pollfd pfd{pty.masterFd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    EXPECT_EQ(::read(pty.masterFd(), buf, sizeof buf), 4);

    const char in[] = "hello";
    ASSERT_EQ(::write(pty.masterFd(), in, 5), 5);
    size_t got = 0;
    for (int i = 0; i < 200 && got < 5; ++i) {
        QCoreApplication::processEvents();
        got += ports.readPort(0, buf + got, sizeof buf - got);
        if (got < 5) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "hello");
    ports.closePortSlot(0);
    EXPECT_FALSE(ports.isPortOpen(0));
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Serves the event loop, as the window's ticks do, until `done` holds or the deadline passes.
template <typename Done>
bool within(int ms, Done done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

speed_t speedOf(int masterFd) {
    termios tio{};
    tcgetattr(masterFd, &tio);
    return cfgetospeed(&tio);
}

TEST(QtSerialDevice, LostWhenTheFarEndClosesAndBackWhenANewOneAppearsBehindTheLink) {
    test::TempDir dir;
    const std::string link = (dir / "logger").string();
    PortMap map;
    map.set(1, link);
    auto pty = std::make_unique<test::PtyPair>();
    const speed_t untouched = speedOf(pty->masterFd());
    test::pointLink(link, pty->slavePath());
    QtSerialDevice device(map);
    ASSERT_TRUE(device.open(1, LineSettings{115200, 'N', 8, 1}));
    const speed_t chosen = speedOf(pty->masterFd());
    ASSERT_NE(chosen, untouched);
    uint8_t buf[16];
    for (int i = 0; i < 300; ++i) device.read(buf, sizeof buf);
    EXPECT_FALSE(device.lost()) << "a quiet line is not a vanished one";

    pty.reset();  // the logger side goes away
    QElapsedTimer gone;
    gone.start();
    ASSERT_TRUE(within(2000, [&] { return device.read(buf, sizeof buf) == 0 && device.lost(); }));
    RecordProperty("lost_after_ms", std::to_string(gone.elapsed()));
    EXPECT_LT(gone.elapsed(), 600);
    EXPECT_EQ(device.read(buf, sizeof buf), 0u);
    EXPECT_FALSE(device.write(buf, 4));
    EXPECT_FALSE(device.reopen()) << "nothing behind the link yet";
    EXPECT_TRUE(device.lost());

    pty = std::make_unique<test::PtyPair>();
    test::pointLink(link, pty->slavePath());
    ASSERT_TRUE(device.reopen());
    EXPECT_FALSE(device.lost());
    EXPECT_EQ(speedOf(pty->masterFd()), chosen) << "the line settings of the first open";

    const uint8_t out[] = {2, 2, 0xA1, 0xA1};
    EXPECT_TRUE(device.write(out, sizeof out));
    pollfd pfd{pty->masterFd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    EXPECT_EQ(::read(pty->masterFd(), buf, sizeof buf), 4);
    ASSERT_EQ(::write(pty->masterFd(), "back", 4), 4);
    size_t got = 0;
    EXPECT_TRUE(within(2000, [&] { return (got += device.read(buf + got, sizeof buf - got)) >= 4; }));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "back");
    EXPECT_TRUE(device.close());
}

// The simulated logger's line pulled and plugged in again: the slot keeps its port, says
// nothing, and the logger's status reports flow again after one retry.
TEST_F(QtPortFixture, ReturningSimulatorIsPickedUpAgainWithoutABox) {
    const std::string link = (dir / "kr8").string();
    Kr8Simulator sim;
    test::replugSimulator(sim, link);
    map.set(1, link);
    ports.openPortSlot(0, 1, 6);
    ASSERT_TRUE(ports.isPortOpen(0));
    uint8_t buf[512];
    auto statusArrives = [&] {
        return within(5000, [&] {
            if (ports.isPortLost(0)) ports.retryLostPort(0);
            return ports.readPort(0, buf, sizeof buf) > 0;
        });
    };
    ASSERT_TRUE(statusArrives());
    const std::string device = std::filesystem::canonical(link).string();

    sim.line().stop();
    std::filesystem::remove(link);  // as an adapter's by-id link goes; a stale one could meet another test's pty
    ASSERT_TRUE(within(2000, [&] { return ports.readPort(0, buf, sizeof buf) == 0 && ports.isPortLost(0); }));
    // Whatever takes the gone device's path next (the next pseudo-terminal of that number, a
    // renumbered adapter) is another device: the lost port holds no lock on it.
    DeviceLock next;
    EXPECT_TRUE(next.take(device));
    next.release();
    EXPECT_TRUE(ports.isPortOpen(0));
    EXPECT_EQ(ports.openComNumber(0), 1);
    EXPECT_FALSE(ports.retryLostPort(0));
    EXPECT_FALSE(ports.writePort(0, buf, 12));

    test::replugSimulator(sim, link);
    EXPECT_TRUE(statusArrives());
    EXPECT_FALSE(ports.isPortLost(0));
    EXPECT_TRUE(ports.writePort(0, buf, 12));
    EXPECT_TRUE(dialogs.boxes.empty());
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// An instrument that talks to a port nobody reads: the port takes bytes until its bounded
// buffer is full and then leaves them to the driver, so the program does not grow.
TEST_F(QtPortFixture, SixtyFourMegabytesIntoAnUnreadPortLeaveTheMemoryFlat) {
    test::PtyPair pty;
    map.set(3, pty.slavePath());
    ports.openPortSlot(1, 3, 11);
    ASSERT_TRUE(ports.isPortOpen(1));
    const std::vector<char> chunk(64 * 1024, 'x');
    const long before = residentKb();
    size_t pushed = 0;
    int refusedInARow = 0;
    while (pushed < (size_t(64) << 20) && refusedInARow < 100) {
        const ssize_t n = ::write(pty.masterFd(), chunk.data(), chunk.size());
        refusedInARow = n > 0 ? 0 : refusedInARow + 1;
        if (n > 0) pushed += size_t(n);
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QCoreApplication::processEvents();
    }
    const long grown = residentKb() - before;
    RecordProperty("pushed_bytes", std::to_string(pushed));
    RecordProperty("rss_growth_kb", std::to_string(grown));
    EXPECT_LT(grown, 4 * 1024) << pushed << " bytes taken";
}

// A logger port whose device takes nothing: commands queue until the bounded queue is full;
// then a command that does not fit whole is not queued at all, the operator is told, and what
// the device finally gets is exactly what was reported as queued.
TEST_F(QtPortFixture, ACommandTheFullQueueCannotTakeWholeIsNotSent) {
    test::PtyPair pty;
    map.set(1, pty.slavePath());
    ports.openPortSlot(kLoggerSlot, 1, 11);
    ASSERT_TRUE(ports.isPortOpen(kLoggerSlot));
    WarningBox warnings(dialogs);
    PortCommandSender line(ports);
    OperatorCommandSender sender(line, ports, warnings);

    const std::vector<uint8_t> block(4096, 0x55);
    size_t queued = 0;
    QElapsedTimer filling;
    filling.start();
    for (const size_t size : {size_t(4096), size_t(64), size_t(8)}) {
        while (filling.elapsed() < 5000) {
            QCoreApplication::processEvents();
            if (!ports.writePort(kLoggerSlot, block.data(), size)) break;
            queued += size;
        }
    }
    ASSERT_LT(filling.elapsed(), 5000);
    QElapsedTimer refused;
    refused.start();
    EXPECT_FALSE(sender.sendCommand(cmd::kBegin));
    EXPECT_LT(refused.elapsed(), 50);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Nothing Sent to the Logger");
    EXPECT_EQ(dialogs.boxes[0].text, "COM1 did not take the whole command, so the logger did not get it.");

    // The device drains: it gets every queued byte and nothing of the refused command; then
    // commands go again.
    size_t arrived = 0;
    auto drainFor = [&](int quietMs) {
        QElapsedTimer quiet;
        quiet.start();
        uint8_t buf[8192];
        while (quiet.elapsed() < quietMs) {
            QCoreApplication::processEvents();
            const ssize_t n = ::read(pty.masterFd(), buf, sizeof buf);
            if (n > 0) {
                arrived += size_t(n);
                quiet.restart();
            }
        }
    };
    drainFor(300);
    EXPECT_EQ(arrived, queued);
    EXPECT_TRUE(sender.sendCommand(cmd::kBegin));
    drainFor(300);
    EXPECT_EQ(arrived, queued + kCommandPacketLength);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

// A speed change reopens the port at once: what was still queued goes to the driver first, so
// a command queued just before it leaves whole, behind what came before.
TEST(QtSerialDevice, ReopeningAtAnotherSpeedHandsTheQueueToTheDriverFirst) {
    test::PtyPair pty;
    PortMap map;
    map.set(1, pty.slavePath());
    QtSerialDevice device(map);
    ASSERT_TRUE(device.open(1, LineSettings{115200, 'N', 8, 1}));
    const std::vector<uint8_t> block(1024, 0x55);
    size_t queued = 0;
    while (device.writeRoom() == QtSerialDevice::kWriteQueueBytes && queued < (size_t(16) << 20)) {
        ASSERT_TRUE(device.write(block.data(), block.size()));
        queued += block.size();
    }
    const uint8_t command[] = {2, 2, 0xA1, 0xA1, 0, 0, 0, 0, 0, 0, 0x46, 0x01};
    ASSERT_TRUE(device.write(command, sizeof command));
    std::vector<uint8_t> arrived;
    auto readAll = [&] {
        uint8_t buf[8192];
        for (ssize_t n; (n = ::read(pty.masterFd(), buf, sizeof buf)) > 0;) arrived.insert(arrived.end(), buf, buf + n);
    };
    readAll();  // the driver has room again; the event loop has not run
    ASSERT_LT(arrived.size(), queued);
    ASSERT_TRUE(device.close());
    ASSERT_TRUE(device.open(1, LineSettings{9600, 'N', 8, 1}));
    readAll();
    ASSERT_EQ(arrived.size(), queued + sizeof command);
    EXPECT_TRUE(std::equal(std::begin(command), std::end(command), arrived.end() - sizeof command));
}

// What the operator waits for once the device is back: one retry and the first byte read.
TEST_F(QtPortFixture, FirstByteAfterTheDeviceReturns) {
    const std::string link = (dir / "logger").string();
    auto pty = std::make_unique<test::PtyPair>();
    test::pointLink(link, pty->slavePath());
    map.set(1, link);
    ports.openPortSlot(0, 1, 6);
    pty.reset();
    uint8_t buf[16];
    ASSERT_TRUE(within(2000, [&] { return ports.readPort(0, buf, sizeof buf) == 0 && ports.isPortLost(0); }));

    QElapsedTimer back;
    back.start();
    pty = std::make_unique<test::PtyPair>();
    test::pointLink(link, pty->slavePath());
    ASSERT_TRUE(ports.retryLostPort(0));
    ASSERT_EQ(::write(pty->masterFd(), "K", 1), 1);
    ASSERT_TRUE(within(2000, [&] { return ports.readPort(0, buf, sizeof buf) > 0; }));
    const auto ms = back.nsecsElapsed() / 1e6;
    RecordProperty("first_byte_ms", std::to_string(ms));
    EXPECT_LT(ms, 500.0);
}

} // namespace
} // namespace cv
