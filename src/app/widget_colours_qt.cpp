#include "app/widget_colours_qt.h"

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

} // namespace cv
