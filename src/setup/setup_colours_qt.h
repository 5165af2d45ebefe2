#pragma once
// The setup and status screens' colours on real widgets.
#include <QColor>
#include <QWidget>

#include "setup/shade.h"

namespace cv {

QColor shadeColour(Shade shade);
// Paints a label, panel or group box background.
void paintShade(QWidget* w, Shade shade);
// The colour a widget shows: the field of combo boxes, edits and spinners, the background of
// everything else.
QColor shownColour(const QWidget* w);

} // namespace cv
