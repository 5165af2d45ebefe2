#include "setup/setup_colours_qt.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/widget_colours_qt.h"

namespace cv {

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
