#include "link/link_screen_qt.h"

#include <QComboBox>
#include <QLabel>

#include "link/link_statistics_qt.h"
#include "widgets/colours.h"
#include "widgets/host_services.h"
#include "widgets/widget_helpers.h"

// The logger port's line running full, shown beside the port and on the statistics window.

namespace cv {

namespace {
constexpr int kLineLoadHeight = 18;
} // namespace

void LinkScreen::buildLineLoadLabel() {
    LBLineLoad = named(new QLabel(m_window), "LBLineLoad");
    LBLineLoad->setAccessibleName("Logger port line load");
    // Always there and always this high, empty while the line has room: nothing moves when it speaks.
    LBLineLoad->setFixedHeight(kLineLoadHeight);
}

void LinkScreen::showLineLoad() {
    const std::string text = lineFullText(m_port.lineLoad());
    const QString shown = qs(text);
    if (LBLineLoad->text() != shown) {
        showCaption(LBLineLoad, shown);
        setPanelColour(LBLineLoad, kYellow);
        LBLineLoad->setAutoFillBackground(!text.empty());  // no empty yellow band while the line has room
    }
    m_statistics->showLineLoad(text);
}

} // namespace cv
