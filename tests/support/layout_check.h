#pragma once
// What an operator finds clumsy in a laid-out window: a control cut off by the edge of the box
// or page it sits in, or two controls drawn over each other.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLabel>
#include <QCoreApplication>
#include <QDir>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

namespace cv::test {

// Lays out whatever changed since the last event loop pass, without waiting for anything.
inline void settleLayouts() {
    for (int i = 0; i < 4; ++i) QCoreApplication::sendPostedEvents(nullptr, 0);
}

inline std::string describe(const QWidget* w) {
    std::string name = w->objectName().toStdString();
    if (name.empty()) {
        name = w->metaObject()->className();
        for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (!p->objectName().isEmpty()) {
                name += " in " + p->objectName().toStdString();
                break;
            }
        }
    }
    const QRect g = w->geometry();
    return name + " [" + std::to_string(g.x()) + "," + std::to_string(g.y()) + " " + std::to_string(g.width()) + "x" +
           std::to_string(g.height()) + "]";
}

// The content of a scroll area is meant to be larger than what shows of it.
inline bool scrolls(const QWidget* w) {
    const QWidget* viewport = w->parentWidget();
    return viewport && viewport->parentWidget() &&
           qobject_cast<const QAbstractScrollArea*>(viewport->parentWidget()) &&
           static_cast<const QAbstractScrollArea*>(viewport->parentWidget())->viewport() == viewport;
}

// A caption, button text or chosen item cut off at the edge of its control.
inline bool cutsItsText(const QWidget* w) {
    const auto* label = qobject_cast<const QLabel*>(w);
    if (label && (label->wordWrap() || label->text().isEmpty())) return false;
    if (!label && !qobject_cast<const QAbstractButton*>(w) && !qobject_cast<const QComboBox*>(w)) return false;
    const QSize need = w->minimumSizeHint().expandedTo(label ? w->sizeHint() : QSize());
    return w->width() < need.width() || w->height() < need.height();
}

// One line per visible widget below `top` that sticks out of its parent, and per pair of
// visible siblings that overlap. `top` itself is not checked against its own parent.
inline std::vector<std::string> layoutFaults(const QWidget* top) {
    std::vector<std::string> faults;
    std::vector<const QWidget*> parents{top};
    for (const QWidget* w : top->findChildren<QWidget*>()) parents.push_back(w);
    for (const QWidget* parent : parents) {
        if (!parent->isVisible()) continue;
        std::vector<const QWidget*> shown;
        for (QObject* o : parent->children()) {
            auto* w = qobject_cast<const QWidget*>(o);
            // A visible widget of no size shows nothing; its children, if any, stick out of it.
            if (!w || w->isWindow() || !w->isVisible() || w->geometry().isEmpty()) continue;
            shown.push_back(w);
            if (!scrolls(w) && !parent->rect().contains(w->geometry()))
                faults.push_back(describe(w) + " sticks out of " + describe(parent));
            if (cutsItsText(w)) faults.push_back(describe(w) + " is too small for its text (needs " + std::to_string(w->sizeHint().width()) + "x" + std::to_string(w->sizeHint().height()) + ")");
        }
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j)
                if (shown[i]->geometry().intersects(shown[j]->geometry()))
                    faults.push_back(describe(shown[i]) + " overlaps " + describe(shown[j]));
    }
    return faults;
}

// Where each control of `page` that the operator can click or type into sits, by name, as shown
// now; hidden ones are left out.
inline std::map<std::string, QRect> controlPlaces(const QWidget* page) {
    std::map<std::string, QRect> places;
    for (const QWidget* w : page->findChildren<QWidget*>()) {
        // Qt's own parts ("qt_spinbox_lineedit") move with the control they belong to.
        if (!w->isVisible() || w->objectName().isEmpty() || w->objectName().startsWith("qt_") ||
            !(w->focusPolicy() & Qt::ClickFocus))
            continue;
        places[w->objectName().toStdString()] = QRect(w->mapTo(page, QPoint(0, 0)), w->size());
    }
    return places;
}

// The controls that were shown before a change and sit elsewhere after it.
inline std::vector<std::string> movedControls(const std::map<std::string, QRect>& before, const QWidget* page) {
    std::vector<std::string> moved;
    const std::map<std::string, QRect> after = controlPlaces(page);
    for (const auto& [name, rect] : before) {
        const auto found = after.find(name);
        if (found != after.end() && found->second != rect) moved.push_back(name);
    }
    return moved;
}

// Keeps a picture of the widget for a look by eye or a before-and-after comparison, only when
// CVHOST_PICTURES names a folder.
inline void savePictureIfAsked(QWidget* w, const QString& name) {
    const QString folder = qEnvironmentVariable("CVHOST_PICTURES");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    w->grab().save(folder + "/" + name + ".png");
}

} // namespace cv::test
