#include "widgets/window_room.h"

#include <QScreen>
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

} // namespace cv
