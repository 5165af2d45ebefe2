#pragma once
// Small helpers every page and dialog uses to build and fill its controls.
#include <QComboBox>
#include <QLabel>
#include <QString>
#include <string>

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

} // namespace cv
