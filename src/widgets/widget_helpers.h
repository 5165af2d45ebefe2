#pragma once
// Small helpers every page and dialog uses to build and fill its controls.
#include <QComboBox>
#include <QLabel>
#include <QSizePolicy>
#include <QString>
#include <array>
#include <string>
#include <type_traits>

namespace cv {

// Gives a control the name tests and the layout tables find it by, and hands it back.
template <class T>
T* named(T* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

inline QLabel* namedLabel(QWidget* parent, const QString& name, const QString& text = {}) {
    return named(new QLabel(text, parent), name);
}

inline QString qs(const std::string& s) { return QString::fromStdString(s); }

// Chooses an item by index; an index out of range chooses none.
inline void setIndex(QComboBox* cb, int index) {
    if (cb) cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : -1);
}

// A combo box filled with the first `count` of `items`.
template <size_t N>
QComboBox* comboOf(QWidget* parent, const QString& name, const std::array<const char*, N>& items, int count = int(N)) {
    auto* cb = named(new QComboBox(parent), name);
    for (int i = 0; i < count; ++i) cb->addItem(items[size_t(i)]);
    return cb;
}

// A screen reader takes a combo box's name from the label it is the buddy of, so a control
// without a label in front of it gets one that is never shown.
template <class T>
T* spokenAs(T* control, const QString& name) {
    control->setAccessibleName(name);
    if constexpr (std::is_same_v<T, QComboBox>) {
        auto* label = new QLabel(name, control->parentWidget());
        label->hide();
        label->setBuddy(control);
    }
    return control;
}

// A control that comes and goes keeps its place in the layout while hidden, so that the controls
// around it never move under the operator's mouse when it appears.
inline void keepPlaceWhenHidden(QWidget* w) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
}

// A state that shows only in a caption, or in a panel that comes and goes, reaches a screen reader
// as the accessible description of the control it concerns; called wherever the caption changes,
// so the name can stay what the control is.
inline void tellState(QWidget* w, const QString& state) {
    if (w->accessibleDescription() != state) w->setAccessibleDescription(state);
}

// A read-out known to a screen reader by a name of its own, whose caption changes as the program
// runs: the caption is told as its description, so it is heard as well as seen.
inline void showCaption(QLabel* l, const QString& caption) {
    if (l->text() != caption) l->setText(caption);
    tellState(l, caption);
}

// A one-line read-out that is empty until it has something to say (what became of a Send, a
// warning): always there and of fixed height, so nothing around it moves when it speaks.
inline QLabel* wordLabel(QWidget* parent, const QString& name, const QString& spoken) {
    auto* l = namedLabel(parent, name);
    l->setAccessibleName(spoken);
    l->setFixedHeight(l->fontMetrics().height() + 4);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace cv
