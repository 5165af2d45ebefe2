#include "app/hostmain_window.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QProxyStyle>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "archive/recording_screen_qt.h"
#include "archive/record_page.h"
#include "hardware/analog_page.h"
#include "hardware/hardware_page.h"
#include "hardware/hardware_screen_qt.h"
#include "link/link_screen_qt.h"
#include "memory/upload_page.h"
#include "memory/upload_screen_qt.h"
#include "pclogger/pclogger_page.h"
#include "pclogger/pclogger_screen_qt.h"
#include "setup/data_status_page.h"
#include "setup/logger_control_page.h"
#include "setup/logger_status_panel.h"
#include "setup/port_setup_page.h"
#include "setup/setup_screen_qt.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"
#include "widgets/clickable_label.h"
#include "widgets/client_placement.h"

// The main window's geometry: the left column, the tabs and what each screen may do with them.

namespace cv {

namespace {
constexpr int kColumnWidth = 270;

// With both factory pages shown, nine captions must fit the tab row of a 1280-pixel window, where
// a scrolled row would hide the last tab behind two faint arrows: the room the style leaves
// beside each caption is halved. On a narrower screen the row still scrolls, and no caption is
// ever cut short.
class CompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? value / 2 : value;
    }
};
} // namespace

void TForm1::buildLeftColumn() {
    HostStatusGB = new QGroupBox("Host Status", m_client);
    HostStatusGB->setObjectName("HostStatusGB");
    auto* hs = new QVBoxLayout(HostStatusGB);
    hs->addWidget(m_setup->LBHostDandT);
    hs->addWidget(m_link->PLoggerPort);
    hs->addWidget(m_link->COMStatus);
    hs->addWidget(m_link->LBLineLoad);
    HostStatusGB->setFixedHeight(HostStatusGB->sizeHint().height() + 24);
    // The alarm panels that come and go sit below the port box, so their arrival never moves
    // the port and speed boxes under the operator's mouse.
    m_leftColumn = {m_setup->PStore,     HostStatusGB,
                    m_link->LoggerPortGB, m_link->FlashPanel,
                    m_setup->RemoteHostPanel, m_setup->loggerStatusPanel()};
    for (QWidget* w : m_leftColumn) {
        const bool hidden = w->isHidden();  // a new parent hides a widget
        w->setParent(m_client);
        w->setVisible(!hidden);
    }
}

void TForm1::buildTabs() {
    Tabs = new QTabWidget(m_client);
    Tabs->setObjectName("Tabs");
    auto* tabStyle = new CompactTabStyle;
    tabStyle->setParent(Tabs);
    Tabs->tabBar()->setStyle(tabStyle);
    Tabs->setElideMode(Qt::ElideNone);
    Tabs->setUsesScrollButtons(true);
    const std::pair<const char*, QWidget*> owned[] = {{"TSPortSetup", m_setup->portSetupPage()},
                                                      {"TSLoggerControl", m_setup->loggerControlPage()},
                                                      {"TSDataStatus", m_setup->dataStatusPage()},
                                                      {"TSUpload", m_upload->page()},
                                                      {"TSRecord", m_recording->page()},
                                                      {"TSRealTime", m_stream->page()},
                                                      {"TSHardware", m_hardware->hardwarePage()},
                                                      {"TSAnalog", m_hardware->analogPage()},
                                                      {"TSPCLogger", m_pcLogger->page()}};
    for (const hostmode::TabPage& p : hostmode::kTabPages) {
        QWidget* page = nullptr;
        for (const auto& [name, w] : owned)
            if (std::string_view(name) == p.name) page = w;
        if (!page) page = new QWidget(Tabs);
        page->setObjectName(p.name);
        Tabs->addTab(page, p.caption);
    }
    connect(Tabs, &QTabWidget::currentChanged, this, [this](int) { TabsChange(); });
    for (int t = hostmode::kLaidOutTabs; t < hostmode::kTabCount; ++t) Tabs->setTabVisible(t, false);
    m_tabsStartSize = QSize(960, 680);
    m_client->setMinimumSize(placeClient({}, kColumnWidth, m_tabsStartSize, QSize(1280, 800)).minimum);
    // With no host mode every page is hidden; say what to do instead of showing an empty frame.
    m_noModeHint = new QLabel("Choose the kind of work from the Modes menu:\n"
                              "Profile Logging, Moored Logging, Real Time Output, Analog Output,\n"
                              "Advanced User or PC-Logger.",
                              m_client);
    m_noModeHint->setObjectName("NoModeHint");
    m_noModeHint->setAlignment(Qt::AlignCenter);
    m_noModeHint->hide();
}

void TForm1::showPage(const char* name, bool shown) {
    const int i = Tabs->indexOf(Tabs->findChild<QWidget*>(name));
    if (i < 0) return;
    Tabs->setTabVisible(i, shown);
    if (shown) Tabs->setCurrentIndex(i);
    FormResize();
}

std::optional<bool> TForm1::tabShown(const QWidget* page) const {
    const int i = Tabs ? Tabs->indexOf(page) : -1;
    if (i < 0) return std::nullopt;
    return Tabs->isTabVisible(i);
}

std::optional<bool> TForm1::tabShown(std::string_view pageName) const {
    if (!Tabs) return std::nullopt;
    return tabShown(Tabs->findChild<QWidget*>(QString::fromUtf8(pageName.data(), qsizetype(pageName.size()))));
}

void TForm1::setTabShown(QWidget* page, bool shown) {
    const int i = Tabs ? Tabs->indexOf(page) : -1;
    if (i < 0) return;
    if (shown) {
        Tabs->setTabVisible(i, true);
        Tabs->setCurrentIndex(i);
        return;
    }
    const bool wasCurrent = Tabs->currentIndex() == i;
    Tabs->setTabVisible(i, false);
    if (wasCurrent)
        for (int step = 1; step < Tabs->count(); ++step) {
            const int next = (i + step) % Tabs->count();
            if (Tabs->isTabVisible(next)) {
                Tabs->setCurrentIndex(next);
                break;
            }
        }
}

void TForm1::setTabCaption(const QWidget* page, const QString& caption, const QColor& colour) {
    const int i = Tabs ? Tabs->indexOf(page) : -1;
    if (i < 0) return;
    Tabs->setTabText(i, caption);
    Tabs->tabBar()->setTabTextColor(i, colour);
}

void TForm1::TabsChange() {
    if (Tabs->currentWidget() != m_upload->page()) return;
    // The run list stays: after a Cancel, or a look at another page, its rows still fetch their
    // runs, and reading it again needs the logger in Standby.
    m_stream->stopRawDisplay();
}

void TForm1::FormResize() {
    if (!Tabs) return;
    // Before the window is shown its scroll area has no size of its own yet: the client keeps
    // the wide arrangement it started with.
    const auto* scroll = static_cast<const QScrollArea*>(centralWidget());
    const QSize room = isVisible() ? scroll->viewport()->size() : m_client->size().expandedTo(m_client->minimumSize());
    // Above the pages: the marker and the host status, the port box and the panels that come
    // below it, the logger status.
    static constexpr int kNarrowColumn[] = {0, 0, 1, 1, 1, 2};
    std::vector<StatusBox> boxes;
    for (size_t i = 0; i < m_leftColumn.size(); ++i)
        boxes.push_back({m_leftColumn[i]->height(), !m_leftColumn[i]->isHidden(), kNarrowColumn[std::min(i, size_t(5))]});
    const ClientPlacement placed = placeClient(boxes, kColumnWidth, m_tabsStartSize, room);
    for (size_t i = 0; i < m_leftColumn.size(); ++i)
        if (boxes[i].shown) m_leftColumn[i]->setGeometry(placed.boxes[i]);
    if (m_client->minimumSize() != placed.minimum) m_client->setMinimumSize(placed.minimum);
    Tabs->setGeometry(placed.pages);
    bool anyPage = false;
    for (int i = 0; i < Tabs->count(); ++i) anyPage = anyPage || Tabs->isTabVisible(i);
    Tabs->setVisible(anyPage);
    m_noModeHint->setGeometry(Tabs->geometry());
    m_noModeHint->setVisible(!anyPage);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_client && e->type() == QEvent::Resize) FormResize();
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    FormResize();
}

} // namespace cv
