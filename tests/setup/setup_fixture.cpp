#include "setup/setup_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include "link/link_screen_qt.h"
#include "setup/setup_screen_qt.h"

namespace cv::test {

SetupRig::SetupRig()
    : window(std::make_unique<TForm1>(HostEnvironment{clock, dialogs, serial, nullptr})),
      records(window->records()),
      facts(window->facts()),
      screen(window->setupScreen()),
      sink{serial.line(3), serial.line(3)->writes} {
    window->linkScreen()->selectLoggerPort(3, 6);
    window->resize(1280, 800);
    window->show();
}

QAction* SetupRig::action(const char* name) const { return window->findChild<QAction*>(name); }

SetupRig::~SetupRig() = default;

bool SetupRig::shown(const char* name) const {
    if (QAction* a = action(name)) return a->isVisible();
    QWidget* widget = window->findChild<QWidget*>(name);
    if (!widget) return false;
    // A page that is not the current tab is hidden by the tab widget, not by the layout: judge
    // a control on a page as if its page were shown.
    QWidget* root = window.get();
    for (QWidget* p = widget; p; p = p->parentWidget())
        if (qobject_cast<QStackedWidget*>(p->parentWidget())) {
            root = p;
            break;
        }
    return widget == root ? !widget->isHidden() : widget->isVisibleTo(root);
}

bool SetupRig::tabShown(const char* name) const {
    QWidget* page = window->findChild<QWidget*>(name);
    return page && window->Tabs->isTabVisible(window->Tabs->indexOf(page));
}

QString SetupRig::text(const char* name) const {
    if (auto* l = window->findChild<QLabel*>(name)) return l->text();
    if (auto* b = window->findChild<QPushButton*>(name)) return b->text();
    return {};
}

void SetupRig::choose(const char* comboName, int index) {
    auto* cb = w<QComboBox>(comboName);
    cb->setCurrentIndex(index);
    emit cb->activated(index);
}

void SetupRig::clickButton(const char* name) { w<QPushButton>(name)->click(); }

void SetupRig::trigger(const char* actionName) { action(actionName)->trigger(); }

void SetupRig::deliverSetup(const std::array<uint8_t, 192>& record) {
    records.setup = record;
    records.setupArrived = true;
    screen->showArrivedSetup();
}

void SetupRig::deliverStatus(const std::array<uint8_t, 132>& record) {
    records.status = record;
    records.statusArrived = true;
    window->statusStep();
}

} // namespace cv::test
