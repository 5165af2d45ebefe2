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

#include "e2e_support.h"
#include "link/link_screen_qt.h"

namespace cv::test {

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
