// A question asked inside a timer step does not stop the timers: while the upload's overwrite
// question (asked from the one-second step) is open, the 5 ms receive and the one-second work
// go on in the question's loop, as they would behind a real modal box.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <algorithm>
#include <QListWidget>
#include <QTimer>

#include "app/hostmain_window.h"
#include "link/statistics_dialog.h"
#include "link/link_screen_qt.h"
#include "memory/upload_rig.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

TEST(QuestionsInTicks, TimersGoOnWhileTheOverwriteQuestionIsOpen) {
    // An earlier test of the same program may have pressed Exit: QApplication::exit leaves every
    // later nested loop returning at once until the application loop has run again.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    test::TempDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    test::FakeSerialFactory serial;
    TForm1 form{HostEnvironment{clock, dialogs, serial, nullptr}};
    auto line = serial.line(1);
    form.linkScreen()->selectLoggerPort(1, 6);
    form.facts().state = 9;  // Standby

    form.uploadScreen()->BTGetDirectoryClick();
    for (int16_t run : {3, 4}) {
        const auto entry = test::entryPacket(run, 2048);
        line->feed({entry.begin(), entry.end()});
        form.Timer10msTimer();
    }
    UploadPage* page = form.uploadScreen()->page();
    ASSERT_EQ(page->LBProfiles->count(), 2);
    page->LBProfiles->selectAll();
    page->ExtractFilesRG->setItemIndex(0);
    for (const char* name : {"run.003", "run.004"}) test::writeFile(dir.path() / name, {1, 2, 3});
    dialogs.fileAnswers = {(dir.path() / "run.xxx").string()};
    form.uploadScreen()->BTUploadClick();

    uint32_t packetsBefore = 0;
    uint32_t packetsDuring = 0;
    int secondsDuring = 0;
    int secondsWhileOpen = 0;
    bool questionClosed = false;
    QObject::connect(form.Timer1000ms, &QTimer::timeout, [&] { ++secondsDuring; });
    dialogs.answers = {Answer::No, Answer::No};
    dialogs.whileOpen = [&] {
        if (questionClosed) return;  // only the first question is kept open; this closure must
                                     // not be replaced while it runs
        secondsDuring = 0;
        packetsBefore = form.receiver().counters().packetsFramed;
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            std::vector<uint8_t> status(132, 0);
            status[4] = 9;
            frameBlock(status.data(), status.size(), 3);
            line->feed(status);
        });
        feeder.start(100);
        // Open until both timers have shown they go on, as an operator thinking it over; a
        // stopped timer keeps it open to the deadline.
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (secondsDuring >= 2 && form.receiver().counters().packetsFramed - packetsBefore >= 5) loop.quit();
        });
        check.start(20);
        QTimer::singleShot(8000, &loop, &QEventLoop::quit);
        loop.exec();
        packetsDuring = form.receiver().counters().packetsFramed - packetsBefore;
        secondsWhileOpen = secondsDuring;
        questionClosed = true;
    };
    form.startTimers();
    QEventLoop outer;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (questionClosed) outer.quit();
    });
    done.start(20);
    QTimer::singleShot(15000, &outer, &QEventLoop::quit);
    outer.exec();

    const bool asked = std::any_of(dialogs.boxes.begin(), dialogs.boxes.end(),
                                   [](const test::FakeDialogs::Box& b) { return b.buttons == Buttons::YesNoCancel; });
    ASSERT_TRUE(asked) << "the overwrite question was asked";
    EXPECT_GE(packetsDuring, 5u) << "the 5 ms receive kept framing packets";
    EXPECT_GE(secondsWhileOpen, 2) << "the one-second timer kept ticking";
    const QString loops = form.linkScreen()->statsForm()->line(7)->text();
    EXPECT_NE(loops, "Loops: 0 ") << "statistics kept being written";
}

} // namespace
} // namespace cv
