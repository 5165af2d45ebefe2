#include "widgets/window_room.h"

#include <QScreen>
#include <algorithm>
#include <QWidget>

namespace cv {

namespace {
constexpr int kTitleBarRoom = 40;
constexpr QSize kNoScreen(1280, 800);
} // namespace

QSize roomForWindow(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return kNoScreen;
    const QSize frame = window->isVisible() ? window->frameGeometry().size() - window->geometry().size()
                                            : QSize(0, kTitleBarRoom);
    return screen->availableGeometry().size() - frame;
}

void openWithinScreen(QWidget* window, QSize wanted) {
    const QSize size = wanted.boundedTo(roomForWindow(window));
    window->resize(size);
    const QScreen* screen = window->screen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    const QWidget* over = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QPoint centre = over && over->isVisible() ? over->frameGeometry().center() : free.center();
    // The frame before the window is shown: a title bar above, no border.
    const QRect frame(QPoint(centre.x() - size.width() / 2, centre.y() - (size.height() + kTitleBarRoom) / 2),
                      QSize(size.width(), size.height() + kTitleBarRoom));
    const int x = std::clamp(frame.left(), free.left(), std::max(free.left(), free.right() + 1 - frame.width()));
    const int y = std::clamp(frame.top(), free.top(), std::max(free.top(), free.bottom() + 1 - frame.height()));
    window->move(x, y);
}

} // namespace cv
