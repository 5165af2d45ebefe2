#pragma once
// The real host window on a pseudo-terminal with the simulated logger on the far side, worked the
// way an operator works it: menu items, tab pages, buttons, combo picks and spinner values, each
// found by its name. The window's timers are run by the test with wall-clock pacing, because the
// simulator keeps real time.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "base/bytes.h"
#include "e2e_support.h"
#include "link/link_screen_qt.h"

namespace cv::test {

// Setup record layout as the logger defines it, written out here so that the expectations do not
// lean on the host's own tables.
namespace at {
constexpr size_t kMode = 2;
constexpr size_t kHourMask = 8;
constexpr size_t kSchedule = 12;  // six i32: delay, pre-flush, warm-up, flush, sample, interval
constexpr size_t kBaud = 36;      // nine i32, entry 0 = host port
constexpr size_t kType = 72;      // nine i16
constexpr size_t kBits = 90;
constexpr size_t kParity = 108;
constexpr size_t kCutOff = 126;
constexpr size_t kReserved144 = 144;
constexpr size_t kAnalog = 146;  // seven i16
constexpr size_t kPump = 160;    // four i16
constexpr size_t kRate = 170;
constexpr size_t kOutput = 172;
constexpr size_t kFile = 174;
constexpr size_t kAutoStart = 180;
constexpr size_t kTimeSource = 186;
constexpr size_t kLength = 192;
} // namespace at

struct PortEntry {
    int16_t type;
    int32_t baud;
    int16_t bits;
    int16_t parity;
};

inline void putPort(sim::SetupRecord& s, int entry, const PortEntry& e) {
    putI16le(s.data() + at::kType + 2 * size_t(entry), e.type);
    putI32le(s.data() + at::kBaud + 4 * size_t(entry), e.baud);
    putI16le(s.data() + at::kBits + 2 * size_t(entry), e.bits);
    putI16le(s.data() + at::kParity + 2 * size_t(entry), e.parity);
}

// A zone east of UTC that is in daylight saving for part of the year (southern summer).
constexpr const char* kZoneWithSummerTime = "AEST-10AEDT,M10.1.0,M4.1.0/3";

inline std::string localText(time_t t, const char* pattern) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, pattern, &local);
    return text;
}

// True when `shown` is the local time of one of the last few seconds in `pattern`; a clock label
// is refreshed once a second and a logger's time is as old as its last status.
inline bool showsRecentLocalTime(const QString& shown, const char* pattern) {
    const time_t now = std::time(nullptr);
    for (time_t t = now - 3; t <= now; ++t)
        if (shown == QString::fromStdString(localText(t, pattern))) return true;
    return false;
}

// Runs the process in another time zone while it lives, so that the local-time arithmetic
// between PC and logger is exercised with a real offset and daylight saving. Create it before
// the simulator starts its thread and let it go after the simulator has stopped.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* tz) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;

private:
    std::optional<std::string> m_old;
};

struct SetupE2eRig : HostAndLogger {
    using HostAndLogger::HostAndLogger;

    template <class T = QWidget>
    T* w(const char* name) const {
        return form.findChild<T*>(name);
    }
    QAction* action(const char* name) const { return form.findChild<QAction*>(name); }
    QComboBox* combo(const char* name) const { return w<QComboBox>(name); }
    QSpinBox* spinner(const char* name) const { return w<QSpinBox>(name); }

    QString text(const char* name) const {
        if (auto* l = w<QLabel>(name)) return l->text();
        if (auto* b = w<QAbstractButton>(name)) return b->text();
        return QStringLiteral("<no control %1>").arg(name);
    }
    // Shown on its window, or on its tab page when that page is offered, without turning pages.
    bool shown(const char* name) const {
        QWidget* x = w<QWidget>(name);
        if (!x) return false;
        if (x->window() != &form) return x->isVisible();
        for (QWidget* p = x; p; p = p->parentWidget()) {
            const int index = form.Tabs->indexOf(p);
            if (index >= 0) return form.Tabs->isTabVisible(index) && x->isVisibleTo(p);
        }
        return x->isVisibleTo(&form);
    }
    bool windowShown(const char* name) const {
        auto* x = w<QWidget>(name);
        return x && x->isWindow() && x->isVisible();
    }

    // Turns to the tab page that holds `x`, as the operator would before using it, and tells
    // whether the control can then be seen and used.
    testing::AssertionResult reachable(QWidget* x, const char* name) {
        if (!x) return testing::AssertionFailure() << "no control named " << name;
        for (QWidget* p = x; p; p = p->parentWidget()) {
            const int index = form.Tabs->indexOf(p);
            if (index < 0) continue;
            if (!form.Tabs->isTabVisible(index))
                return testing::AssertionFailure() << name << " is on the hidden page " << p->objectName().toStdString();
            form.Tabs->setCurrentIndex(index);
        }
        QWidget* win = x->window();
        if (win != &form && !win->isVisible())
            return testing::AssertionFailure() << name << " is in the closed window " << win->objectName().toStdString();
        if (!x->isVisibleTo(win)) return testing::AssertionFailure() << name << " is hidden";
        if (!x->isEnabled()) return testing::AssertionFailure() << name << " is disabled";
        return testing::AssertionSuccess();
    }

    testing::AssertionResult press(QAbstractButton* b, const char* name) {
        auto r = reachable(b, name);
        if (r) b->click();
        return r;
    }
    testing::AssertionResult press(const char* name) { return press(w<QAbstractButton>(name), name); }
    // A click on a panel that acts on it (the setup marker), delivered as the mouse would.
    testing::AssertionResult clickPanel(const char* name) {
        auto* panel = w<QWidget>(name);
        auto r = reachable(panel, name);
        if (!r) return r;
        const QPointF at = QRectF(panel->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, panel->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, panel->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(panel, &press);
        QApplication::sendEvent(panel, &release);
        return r;
    }
    // Picks an item as the operator does; code-set indexes alone run no change handler.
    testing::AssertionResult choose(const char* name, int index) {
        auto* cb = combo(name);
        auto r = reachable(cb, name);
        if (!r) return r;
        if (index < 0 || index >= cb->count()) return testing::AssertionFailure() << name << " has no item " << index;
        cb->setCurrentIndex(index);
        emit cb->activated(index);
        return r;
    }
    testing::AssertionResult spin(const char* name, int value) {
        auto* ud = spinner(name);
        auto r = reachable(ud, name);
        if (r) ud->setValue(value);
        return r;
    }
    testing::AssertionResult trigger(const char* name) {
        QAction* a = action(name);
        if (!a) return testing::AssertionFailure() << "no menu item " << name;
        if (!a->isVisible() || !a->isEnabled()) return testing::AssertionFailure() << "menu item " << name << " is not offered";
        a->trigger();
        return testing::AssertionSuccess();
    }

    // COM1 is the simulator's line; the operator picks it at 9600.
    testing::AssertionResult openLoggerPort() {
        form.linkScreen()->LoggerSetupCB->setCurrentIndex(6);
        auto r = choose("LoggerPortCB", 1);
        if (!r) return r;
        if (!form.ports().isPortOpen(0)) return testing::AssertionFailure() << "the pseudo-terminal did not open";
        return r;
    }

    bool statusShown() const { return shown("LBDandT") && !text("LBDandT").isEmpty(); }

    // Host mode from the Modes menu, the logger port, then the first status on the screen.
    testing::AssertionResult start(const char* modeAction, std::chrono::milliseconds deadline = std::chrono::seconds(8)) {
        auto r = trigger(modeAction);
        if (!r) return r;
        r = openLoggerPort();
        if (!r) return r;
        if (!runUntil([&] { return statusShown(); }, deadline))
            return testing::AssertionFailure() << "no status was shown";
        return r;
    }

    // Each status shows a new logger time; counting those changes counts displayed statuses.
    bool waitForStatusDisplays(int count, std::chrono::milliseconds deadline) {
        auto* clockLabel = w<QLabel>("LBDandT");
        if (!clockLabel) return false;
        QString last = clockLabel->text();
        int seen = 0;
        return runUntil(
            [&] {
                if (clockLabel->text() != last) {
                    last = clockLabel->text();
                    ++seen;
                }
                return seen >= count;
            },
            deadline);
    }
};

} // namespace cv::test
