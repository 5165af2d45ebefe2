// During an upload the host answers a block as soon as the port has it, not at its next tick:
// over a real pseudo-terminal, with no tick run after the block is written, the acknowledgement
// of that block reaches the logger's end of the line.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "app/hostmain_window.h"
#include "adapters/serial_port_qt.h"
#include "protocol/commands.h"
#include "link/link_screen_qt.h"
#include "memory/memory_fakes.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "support/fakes.h"
#include "support/logger_line.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "widgets/radio_group.h"

namespace cv {
namespace {

// What the host wrote to the logger's end within `ms`, serving the event loop meanwhile but
// running no tick of the window.
std::vector<uint8_t> hostBytesWithin(int masterFd, int ms, size_t wanted) {
    std::vector<uint8_t> got;
    QElapsedTimer t;
    t.start();
    while (got.size() < wanted && t.elapsed() < ms) {
        QCoreApplication::processEvents();
        pollfd pfd{masterFd, POLLIN, 0};
        if (poll(&pfd, 1, 2) == 1) {
            uint8_t buf[256];
            const ssize_t n = ::read(masterFd, buf, sizeof buf);
            if (n > 0) got.insert(got.end(), buf, buf + n);
        }
    }
    return got;
}

void writeAll(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        ASSERT_GT(n, 0);
        data += n;
        count -= size_t(n);
    }
}

TEST(UploadReadyRead, EachBlockIsAcknowledgedWithoutWaitingForATick) {
    test::TempDir dir;
    test::PtyPair pty;
    PortMap map;
    map.set(1, pty.slavePath());
    QtSerialFactory serial{map};
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    TForm1 form{HostEnvironment{clock, dialogs, serial, &map}};
    form.linkScreen()->selectLoggerPort(1, 11);
    form.facts().state = 9;  // Standby

    form.uploadScreen()->BTGetDirectoryClick();
    const auto entry = test::entryPacket(3, 2048);
    writeAll(pty.masterFd(), entry.data(), entry.size());
    UploadPage* page = form.uploadScreen()->page();
    for (int i = 0; i < 400 && page->LBProfiles->count() == 0; ++i) {
        QCoreApplication::processEvents();
        form.Timer10msTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(page->LBProfiles->count(), 1);
    page->LBProfiles->selectAll();
    page->ExtractFilesRG->setItemIndex(0);
    dialogs.fileAnswers = {(dir.path() / "run.xxx").string()};
    form.uploadScreen()->BTUploadClick();
    form.Timer1000msTimer();  // the run request goes out in the one-second step
    ASSERT_TRUE(form.uploadScreen()->session().transferRunning());
    hostBytesWithin(pty.masterFd(), 200, SIZE_MAX);  // the directory and run requests

    const auto data = test::runBytes(2048);
    for (uint16_t number : {1, 2}) {
        const auto block = test::uploadBlock(number, 1024, data, (number - 1) * 1024u);
        writeAll(pty.masterFd(), block.data(), block.size());
        // Acknowledged with "go on": block number in the 16-bit argument, 1 in the 32-bit one.
        EXPECT_EQ(hostBytesWithin(pty.masterFd(), 3000, 12), test::commandBytes(cmd::kBlockAck, number, 1))
            << "block " << number;
    }
}

} // namespace
} // namespace cv
