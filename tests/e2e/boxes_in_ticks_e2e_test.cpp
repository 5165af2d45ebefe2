// A warning raised inside the 5 ms tick of the running window, with the program's own boxes
// and timers, over a pseudo-terminal to the simulated logger: while the box stays open, status
// packets keep framing, the PC clock keeps moving and the port does not turn red.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "app/hostmain_window.h"
#include "app/operator_dialogs_qt.h"
#include "adapters/serial_port_qt.h"
#include "link/link_screen_qt.h"
#include "setup/setup_screen_qt.h"
#include "simulator.h"
#include "widgets/colours.h"

namespace cv {
namespace {

QMessageBox* openBox(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->windowTitle() == title)
            return box;
    return nullptr;
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(BoxesInTicks, TimersGoOnWhileAWarningFromTheReceiveTickIsOpen) {
    Kr8Simulator sim;
    PortMap map;
    map.set(1, sim.line().startPty());
    SystemClock clock;
    QtOperatorDialogs dialogs;
    QtSerialFactory serial{map};
    TForm1 form{HostEnvironment{clock, dialogs, serial, &map}};
    dialogs.setParent(&form);
    form.linkScreen()->selectLoggerPort(1, 6);
    form.show();

    // Raised from inside the 5 ms timer's own event, once, as a consumer of a packet would.
    bool raised = false;
    QObject::connect(form.Timer10ms, &QTimer::timeout, [&] {
        if (raised || form.receiver().counters().packetsFramed == 0) return;
        raised = true;
        form.services().warnings.show("File System Overload", "Too many files");
    });
    form.startTimers();
    runEventLoopFor(1500);
    ASSERT_TRUE(raised);
    ASSERT_NE(openBox("File System Overload"), nullptr);

    const uint32_t framedBefore = form.receiver().counters().packetsFramed;
    const QString clockBefore = form.setupScreen()->LBHostDandT->text();
    runEventLoopFor(3500);
    EXPECT_NE(openBox("File System Overload"), nullptr) << "the box is still open";
    EXPECT_GE(form.receiver().counters().packetsFramed - framedBefore, 2u) << "status packets keep framing";
    EXPECT_NE(form.setupScreen()->LBHostDandT->text(), clockBefore) << "the PC clock keeps moving";
    EXPECT_EQ(fieldColour(form.linkScreen()->LoggerPortCB), normalFieldColour()) << "the port is not red";
    EXPECT_EQ(form.services().warnings.openCount(), 1);
    openBox("File System Overload")->accept();
    runEventLoopFor(50);
    EXPECT_EQ(form.services().warnings.openCount(), 0);
    sim.line().stop();
}

} // namespace
} // namespace cv
