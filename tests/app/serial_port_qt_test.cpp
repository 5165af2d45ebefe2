#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fstream>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "app/serial_port_qt.h"
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

TEST_F(QtPortFixture, PathsThatAreNoSerialDeviceFailWithTheOpenMessage) {
    std::ofstream(dir / "plain.txt") << "not a port";
    map.set(2, (dir / "plain.txt").string());
    map.set(3, (dir / "missing").string());
    map.set(4, dir.path().string());
    for (int com : {2, 3, 4}) {
        ports.openPortSlot(0, com, 6);
        EXPECT_FALSE(ports.isPortOpen(0)) << com;
        EXPECT_TRUE(dialogs.saw("Could Not Open COM" + std::to_string(com),
                                "COM" + std::to_string(com) + " may already be assigned or may not exist"));
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
    ports.writePort(0, out, sizeof out);
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

TEST(QtSerialDevice, StopsListeningWhenTheFarEndHangsUp) {
    PortMap map;
    auto pty = std::make_unique<test::PtyPair>();
    map.set(1, pty->slavePath());
    QtSerialDevice device(map);
    ASSERT_TRUE(device.open(1, LineSettings{}));
    uint8_t buf[16];
    for (int i = 0; i < 300; ++i) device.read(buf, sizeof buf);
    EXPECT_TRUE(device.lineUp()) << "a quiet line is not a vanished one";
    pty.reset();  // the logger side goes away
    for (int i = 0; i < 300 && device.lineUp(); ++i) {
        QCoreApplication::processEvents();
        EXPECT_EQ(device.read(buf, sizeof buf), 0u);
    }
    EXPECT_FALSE(device.lineUp());
    device.write(buf, 4);  // dropped, no crash
    EXPECT_TRUE(device.close());
}

} // namespace
} // namespace cv
