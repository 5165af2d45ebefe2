#pragma once
// The few colours the program paints with, and how a widget shows them. Panels and labels
// paint their background (Window role); combo boxes and edits their field (Base role).
#include <QColor>
#include <QWidget>

#include "base/shade.h"

namespace cv {

inline const QColor kRed(0xFF, 0x00, 0x00);
inline const QColor kYellow(0xFF, 0xFF, 0x00);
inline const QColor kSilver(0xC0, 0xC0, 0xC0);

QColor normalFieldColour();  // clWindow
QColor normalPanelColour();  // clBtnFace
void setFieldColour(QWidget* w, const QColor& c);
void setPanelColour(QWidget* w, const QColor& c);
QColor fieldColour(const QWidget* w);
QColor panelColour(const QWidget* w);

// The setup and status rules speak in shades; these paint them.
QColor shadeColour(Shade shade);
void paintShade(QWidget* w, Shade shade);
// The colour a widget shows: the field of combo boxes, edits and spinners, the background of
// everything else.
QColor shownColour(const QWidget* w);

} // namespace cv
