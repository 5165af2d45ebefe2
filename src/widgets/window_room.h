#pragma once
// How large a top-level window may be on its screen.
#include <QSize>

class QWidget;

namespace cv {

// The screen's available area (without panels and docks) less the window's frame, that is the
// largest client size that keeps the whole window, title bar included, on the screen. Before
// the window is shown its frame is not known and a title bar's height is assumed.
QSize roomForWindow(const QWidget* window);

// Gives a window about to open the size it asks for, or what the screen has room for, and a
// place that keeps it, title bar included, on the screen: over its parent window where it has one.
void openWithinScreen(QWidget* window, QSize wanted);

} // namespace cv
