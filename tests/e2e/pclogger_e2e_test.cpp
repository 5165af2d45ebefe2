// The PC as a logger over real pseudo-terminals: two instruments on two PC ports, their lines
// packed into records of logger ID 1 and recorded into an archive file, while a third port
// forwards one instrument's section as a logger output line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

#include "app/hostmain_window.h"
#include "link/link_screen_qt.h"
#include "stream/mux_stream.h"
#include "adapters/serial_port_qt.h"
#include "archive/record_page.h"
#include "archive/recording_screen_qt.h"
#include "base/bytes.h"
#include "stream/stream_screen_qt.h"
#include "widgets/colours.h"
#include "pclogger/pc_logger.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "setup/data_status_page.h"
#include "setup/setup_screen_qt.h"
#include "sim_records.h"
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

// Two logger-output lines whose far ends nobody reads, while the logger streams and an instrument
// feeds: no tick waits for them, every logger record is taken, and each line shows what it
// drops, in red, until its device takes bytes again. The PC logger runs on a fake clock.
TEST(PcLoggerEndToEnd, StalledOutputLinesHoldUpNoTickAndLoseNoLoggerRecord) {
    test::PtyPair logger, instrument, outA, outB;
    PortMap map;
    map.set(1, logger.slavePath());
    map.set(3, instrument.slavePath());
    map.set(5, outA.slavePath());
    map.set(6, outB.slavePath());
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    QtSerialFactory serial{map};
    TForm1 form{HostEnvironment{clock, dialogs, serial, &map}};
    form.setupScreen()->setupDisplayMode(8);
    form.linkScreen()->selectLoggerPort(1, 11);
    ASSERT_TRUE(form.ports().isPortOpen(kLoggerSlot));
    PcLoggerScreen& screen = *form.pcLoggerScreen();
    PcLoggerPage& page = *screen.page();
    const std::pair<int, int> lines[] = {{kMeterInput, 3}, {kLoggerOutput, 5}, {kLoggerOutput, 6}};
    for (size_t i = 0; i < 3; ++i) {
        page.PortTypeCB[i]->setCurrentIndex(lines[i].first);
        screen.PortType1CBChange();
        page.DeckPortCB[i]->setCurrentIndex(lines[i].second);
        page.DeckSetupCB[i]->setCurrentIndex(11);
        page.UDDeckType[i]->setValue(2);
        page.UDOutPort[i]->setValue(1);
    }
    page.UDDeckRate->setValue(10);
    page.BTLoadDeck->click();

    const MuxStream& stream = form.streamScreen()->stream();
    DataStatusPage& status = *form.setupScreen()->dataStatusPage();
    constexpr size_t kSection = 2000;  // what one simulated record carries
    std::array<unsigned, 2> shownOut{}, shownDropped{};
    qint64 longestNs = 0;
    int ticks = 0;
    auto second = [&] {
        form.Timer1000msTimer();
        for (size_t k = 0; k < 2; ++k) {
            unsigned out = 0, dropped = 0;
            std::sscanf(page.PCPort[k + 1]->text().toLatin1().constData(), "Port %*d:  Out %u  dropped %u bytes", &out,
                        &dropped);
            shownOut[k] += out;
            shownDropped[k] += dropped;
        }
    };
    auto tick = [&] {
        clock.ms += 5;
        QElapsedTimer t;
        t.start();
        form.Timer10msTimer();
        longestNs = std::max(longestNs, t.nsecsElapsed());
        if (++ticks % 200 == 0) second();
        QApplication::processEvents();
    };
    int records = 0;
    auto loggerRecord = [&] {
        sim::MuxFrame frame;
        frame.sequence = uint8_t(records);
        frame.sections[0].assign(kSection, uint8_t('A' + records % 26));
        const std::vector<uint8_t> packet = sim::buildMuxPacket(frame);
        ASSERT_EQ(write(logger.masterFd(), packet.data(), packet.size()), ssize_t(packet.size()));
        ++records;
        const auto end = std::chrono::steady_clock::now() + 2s;
        while (stream.unit(2).packets < uint32_t(records) && std::chrono::steady_clock::now() < end) tick();
        ASSERT_EQ(stream.unit(2).packets, uint32_t(records));
    };
    for (int n = 0; n < 100; ++n) {
        if (n % 8 == 0) send(instrument.masterFd(), "$GPGGA," + std::to_string(n) + "*00\r\n");
        loggerRecord();
    }
    // Both queues are full by now: a second of records all dropped.
    second();
    for (int n = 0; n < 5; ++n) loggerRecord();
    second();
    for (QLabel* label : {page.PCPort[1], status.DSPCPort[1]}) {
        EXPECT_TRUE(label->text().contains(QRegularExpression("^Port 2:  Out +\\d+  dropped \\d+ bytes$")))
            << label->text().toStdString();
        EXPECT_EQ(panelColour(label), kRed);
    }
    EXPECT_FALSE(page.PCPort[0]->text().contains("dropped")) << "the instrument line drops nothing";

    // The devices drain: each gets exactly what its line showed as sent, and the lines recover.
    std::array<size_t, 2> arrived{};
    auto drainOutputs = [&] {
        auto quiet = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - quiet < 300ms) {
            QApplication::processEvents();
            const size_t a = drain(outA.masterFd()).size(), b = drain(outB.masterFd()).size();
            arrived[0] += a;
            arrived[1] += b;
            if (a + b > 0) quiet = std::chrono::steady_clock::now();
        }
    };
    drainOutputs();
    loggerRecord();
    loggerRecord();
    drainOutputs();
    second();
    for (QLabel* label : {page.PCPort[1], status.DSPCPort[1]}) {
        EXPECT_EQ(label->text().toStdString(), "Port 2:  Out " + std::to_string(2 * kSection));
        EXPECT_EQ(panelColour(label), normalPanelColour());
    }
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(arrived[k], shownOut[k]) << "line " << k + 2;
        EXPECT_EQ(shownOut[k] + shownDropped[k], size_t(records) * kSection) << "line " << k + 2;
        EXPECT_GT(shownDropped[k], 0u);
    }
    EXPECT_EQ(stream.unit(2).sequenceErrors, 0u);
    EXPECT_GT(stream.unit(1).packets, 0u) << "the instrument's records went on";
    EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes.front().caption << ": " << dialogs.boxes.front().text;
    const double longestMs = double(longestNs) / 1e6;
    RecordProperty("longest_tick_ms", std::to_string(longestMs));
    std::printf("longest tick with two stalled output lines: %.3f ms over %d ticks\n", longestMs, ticks);
    EXPECT_LT(longestMs, 50.0);
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
