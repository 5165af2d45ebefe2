#include "widgets/colours.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

namespace cv {

QColor normalFieldColour() { return QApplication::palette().color(QPalette::Base); }
QColor normalPanelColour() { return QApplication::palette().color(QPalette::Window); }

void setFieldColour(QWidget* w, const QColor& c) {
    if (!w) return;
    QPalette p = w->palette();
    p.setColor(QPalette::Base, c);
    // A read-only combo paints its face with Button, so tint both.
    p.setColor(QPalette::Button, c == normalFieldColour() ? QApplication::palette().color(QPalette::Button) : c);
    w->setPalette(p);
}

void setPanelColour(QWidget* w, const QColor& c) {
    if (!w) return;
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
}

QColor fieldColour(const QWidget* w) { return w->palette().color(QPalette::Base); }
QColor panelColour(const QWidget* w) { return w->palette().color(QPalette::Window); }

QColor shadeColour(Shade shade) {
    switch (shade) {
    case Shade::Silver: return kSilver;
    case Shade::Yellow: return kYellow;
    case Shade::Red: return kRed;
    case Shade::ButtonFace: break;
    }
    return normalPanelColour();
}

void paintShade(QWidget* w, Shade shade) {
    if (w) setPanelColour(w, shadeColour(shade));
}

QColor shownColour(const QWidget* w) {
    if (qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
        qobject_cast<const QAbstractSpinBox*>(w))
        return fieldColour(w);
    return panelColour(w);
}

} // namespace cv
