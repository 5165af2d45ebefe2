// The PC as a logger over real pseudo-terminals: two instruments on two PC ports, their lines
// packed into records of logger ID 1 and recorded into an archive file, while a third port
// forwards one instrument's section as a logger output line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

#include "app/hostmain_window.h"
#include "app/serial_port_qt.h"
#include "archive/record_page.h"
#include "archive/recording_screen_qt.h"
#include "base/bytes.h"
#include "stream/stream_screen_qt.h"
#include "widgets/colours.h"
#include "pclogger/pc_logger.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "setup/setup_screen_qt.h"
#include "support/fakes.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace std::chrono_literals;
using namespace pclogger;

struct PcLoggerOverPtys {
    test::PtyPair instrumentA, instrumentB, output;
    PortMap map;
    SystemClock clock;
    test::FakeDialogs dialogs;
    QtSerialFactory serial{map};
    PcLoggerOverPtys() {
        map.set(3, instrumentA.slavePath());
        map.set(4, instrumentB.slavePath());
        map.set(5, output.slavePath());
    }
};

void send(int fd, const std::string& text) { ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size())); }

std::string drain(int fd) {
    std::string got;
    char buffer[512];
    fd_set set;
    timeval none{0, 0};
    for (;;) {
        FD_ZERO(&set);
        FD_SET(fd, &set);
        if (select(fd + 1, &set, nullptr, nullptr, &none) <= 0) break;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, size_t(n));
    }
    return got;
}

TEST(PcLoggerEndToEnd, InstrumentsAreArchivedAsLoggerOneAndTheOutputPortGetsItsSection) {
    test::TempDir dir;
    const std::string archive = (dir / "pc.arc").string();
    PcLoggerOverPtys rig;
    TForm1 form{HostEnvironment{rig.clock, rig.dialogs, rig.serial, &rig.map}};
    form.setupScreen()->setupDisplayMode(8);
    PcLoggerScreen& screen = *form.pcLoggerScreen();
    PcLoggerPage& page = *screen.page();
    auto line = [&](int k, int function, int com) {
        page.PortTypeCB[size_t(k - 1)]->setCurrentIndex(function);
        screen.PortType1CBChange();
        page.DeckPortCB[size_t(k - 1)]->setCurrentIndex(com);
        page.DeckSetupCB[size_t(k - 1)]->setCurrentIndex(11);
    };
    line(1, kMeterInput, 3);
    line(2, kMeterInput, 4);
    line(3, kLoggerOutput, 5);
    page.UDDeckType[2]->setValue(1);
    page.UDOutPort[2]->setValue(2);
    page.UDDeckRate->setValue(10);
    page.BTLoadDeck->click();
    ASSERT_TRUE(form.ports().isPortOpen(1) && form.ports().isPortOpen(2) && form.ports().isPortOpen(3));

    rig.dialogs.fileAnswers = {archive};
    form.recordingScreen()->page()->BTRecordArchive->click();
    ASSERT_EQ(form.recordingScreen()->recordingMode(), RecordingMode::Continuous);

    std::string sentA, sentB, forwarded;
    auto lastSecond = std::chrono::steady_clock::now();
    auto run = [&](std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            form.Timer10msTimer();
            if (std::chrono::steady_clock::now() - lastSecond >= 1s) {
                lastSecond = std::chrono::steady_clock::now();
                form.Timer1000msTimer();
            }
            QApplication::processEvents();
            forwarded += drain(rig.output.masterFd());
            std::this_thread::sleep_for(2ms);
        }
    };
    for (int n = 0; n < 20; ++n) {
        const std::string a = "$GPGGA,A" + std::to_string(n) + "*00\r\n";
        const std::string b = "$SBE,B" + std::to_string(n) + ",12.5\r\n";
        send(rig.instrumentA.masterFd(), a);
        send(rig.instrumentB.masterFd(), b);
        sentA += a;
        sentB += b;
        run(60ms);
    }
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (forwarded.size() < sentB.size() && std::chrono::steady_clock::now() < deadline) run(50ms);
    run(300ms);  // anything more would show as extra bytes
    form.recordingScreen()->page()->BTStopRecord->click();

    EXPECT_EQ(forwarded, sentB) << "the output port carries section 2 of logger 1 and nothing else";

    // The archive: records back to back, header in host order.
    const std::vector<uint8_t> file = test::readFile(archive);
    std::string archivedA, archivedB;
    size_t at = 0, records = 0;
    int lastSequence = -1;
    while (at + 32 <= file.size()) {
        const uint8_t* r = &file[at];
        const size_t n = getU16le(r + 4);
        ASSERT_LE(at + n + 32, file.size());
        EXPECT_EQ(r[2], 1) << "logger ID of a PC logger record";
        EXPECT_EQ(r[3], uint8_t(lastSequence + 1));
        lastSequence = r[3];
        const size_t a = getU16le(r + 10), b = getU16le(r + 12);
        archivedA.append(reinterpret_cast<const char*>(r + 28), a);
        archivedB.append(reinterpret_cast<const char*>(r + 28 + a), b);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 28 + n), 4), "####");
        at += n + 32;
        ++records;
    }
    EXPECT_EQ(at, file.size());
    EXPECT_GT(records, 1u);
    EXPECT_EQ(archivedA, sentA);
    EXPECT_EQ(archivedB, sentB);
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << rig.dialogs.boxes.front().caption << ": " << rig.dialogs.boxes.front().text;
}

// An instrument's adapter pulled and plugged in again behind the same link: the line turns red
// while it is gone and records its bytes again once it is back, with no operator action.
TEST(PcLoggerEndToEnd, AnInstrumentThatHangsUpIsReopenedWhenItReturns) {
    test::TempDir dir;
    const std::string link = (dir / "instrument").string();
    auto instrument = std::make_unique<test::PtyPair>();
    test::pointLink(link, instrument->slavePath());
    PortMap map;
    map.set(3, link);
    SystemClock clock;
    test::FakeDialogs dialogs;
    QtSerialFactory serial{map};
    TForm1 form{HostEnvironment{clock, dialogs, serial, &map}};
    PcLoggerScreen& screen = *form.pcLoggerScreen();
    PcLoggerPage& page = *screen.page();
    page.PortTypeCB[0]->setCurrentIndex(kMeterInput);
    screen.PortType1CBChange();
    page.DeckPortCB[0]->setCurrentIndex(3);
    page.DeckSetupCB[0]->setCurrentIndex(6);
    page.BTLoadDeck->click();
    ASSERT_TRUE(form.ports().isPortOpen(1));

    auto lastSecond = std::chrono::steady_clock::now();
    auto runUntil = [&](const std::function<bool()>& done, std::chrono::milliseconds deadline) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!done() && std::chrono::steady_clock::now() < end) {
            form.Timer10msTimer();
            if (std::chrono::steady_clock::now() - lastSecond >= 1s) {
                lastSecond = std::chrono::steady_clock::now();
                form.Timer1000msTimer();
            }
            QApplication::processEvents();
            std::this_thread::sleep_for(2ms);
        }
        return done();
    };
    const MuxStream& stream = form.streamScreen()->stream();
    send(instrument->masterFd(), "$GPGGA,before*00\r\n");
    ASSERT_TRUE(runUntil([&] { return stream.unit(1).packets >= 1; }, 10s));

    instrument.reset();
    ASSERT_TRUE(runUntil([&] { return fieldColour(page.DeckPortCB[0]) == kRed; }, 10s)) << "the lost port shows red";
    instrument = std::make_unique<test::PtyPair>();
    test::pointLink(link, instrument->slavePath());
    ASSERT_TRUE(runUntil([&] { return fieldColour(page.DeckPortCB[0]) == normalFieldColour(); }, 15s));
    const uint32_t before = stream.unit(1).packets;
    send(instrument->masterFd(), "$GPGGA,after*00\r\n");
    EXPECT_TRUE(runUntil([&] { return stream.unit(1).packets > before; }, 10s)) << "its bytes are recorded again";
    EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes.front().caption << ": " << dialogs.boxes.front().text;
}

} // namespace
} // namespace cv
