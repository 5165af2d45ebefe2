#include "settings/settings_screen_qt.h"

#include <QAction>
#include <QMainWindow>
#include <QScreen>
#include <algorithm>

#include "base/text_format.h"
#include "protocol/host_modes.h"
#include "settings/host_setup_file.h"
#include "widgets/host_services.h"
#include "widgets/page_tabs.h"
#include "widgets/window_room.h"

namespace cv {

namespace {
const char* const kLastSetupName = "last.cvh";
const char* const kFilter = "CV Host Setup (*.cvh)|*.cvh";
const char* const kExtension = ".cvh";
const char* const kOpenTitle = "Open CV Host Program Setup";
const char* const kSaveTitle = "Save CV Host Program Setup";
const char* const kNotWrittenText = "%s could not be written. A file of that name that was there before is unchanged.";

// Line 5 by position: the tab pages' names, none at positions 8 and 9.
constexpr std::array<const char*, 12> kLine5Tabs{"TSPortSetup", "TSLoggerControl", "TSDataStatus", "TSUpload",
                                                 "TSRealTime",  "TSRecord",        "TSPCLogger",   nullptr,
                                                 nullptr,       "TSPlotSetup",     "TSHardware",   "TSAnalog"};
enum WindowStateValue { kNormal = 0, kMinimized = 1, kMaximized = 2 };
} // namespace

SettingsScreen::SettingsScreen(QMainWindow* window, HostServices& services, const PageTabs& tabs,
                               std::optional<std::filesystem::path> startupDirectory)
    : QObject(window), m_window(window), m_tabs(tabs), m_services(services) {
    // Absolute now: a file dialog may move the working directory later.
    if (startupDirectory) m_startupDirectory = std::filesystem::absolute(*startupDirectory);
    connect(services.menu.LoadHostSetupFile, &QAction::triggered, this, &SettingsScreen::LoadHostSetupFileClick);
    connect(services.menu.StoreHostSetupFile, &QAction::triggered, this, &SettingsScreen::StoreHostSetupFileClick);
}

std::vector<HostSetupPart*> SettingsScreen::allParts() {
    std::vector<HostSetupPart*> parts = m_parts;
    parts.push_back(this);
    return parts;
}

bool SettingsScreen::loadHostSetup(const std::filesystem::path& file, bool atStartup) {
    return hostsetup::load(file, allParts(), atStartup, m_services.warnings);
}

bool SettingsScreen::saveHostSetup(const std::filesystem::path& file) { return hostsetup::save(file, allParts()); }

bool SettingsScreen::loadLastSetup() {
    return m_startupDirectory && loadHostSetup(*m_startupDirectory / kLastSetupName, true);
}

void SettingsScreen::saveLastSetup() {
    if (!m_startupDirectory) return;
    const std::filesystem::path file = *m_startupDirectory / kLastSetupName;
    if (saveHostSetup(file)) return;
    // The program ends right after this, so the box is waited for.
    m_services.dialogs.beep(Icon::Exclamation);
    m_services.dialogs.ask(kSaveTitle, format(kNotWrittenText, file.string().c_str()), Buttons::Ok, Icon::Exclamation);
}

void SettingsScreen::LoadHostSetupFileClick() {
    FileChoice choice;
    choice.title = kOpenTitle;
    choice.filter = kFilter;
    const std::optional<std::string> file = m_services.dialogs.chooseOpenFile(choice);
    if (file) loadHostSetup(*file, false);
}

void SettingsScreen::StoreHostSetupFileClick() {
    FileChoice choice;
    choice.title = kSaveTitle;
    choice.filter = kFilter;
    const std::optional<std::string> chosen = m_services.dialogs.chooseSaveFile(choice);
    if (!chosen) return;
    std::filesystem::path file = *chosen;
    if (!file.has_extension()) file += kExtension;
    if (!mayReplaceFile(m_services.dialogs, kSaveTitle, file)) return;
    if (!saveHostSetup(file)) m_services.warnings.show(kSaveTitle, format(kNotWrittenText, file.string().c_str()));
}

void SettingsScreen::writeHostSetupLine(int number, std::vector<int>& v) const {
    if (number == hostline::kWindow) {
        v.at(0) = m_window->isMinimized() ? kMinimized : m_window->isMaximized() ? kMaximized : kNormal;
        v.at(1) = m_window->height();
        v.at(2) = m_window->width();
    }
    if (number == hostline::kTabs) {
        for (size_t i = 0; i < kLine5Tabs.size(); ++i) {
            const std::optional<bool> shown = kLine5Tabs[i] ? m_tabs.tabShown(kLine5Tabs[i]) : std::nullopt;
            if (shown) v.at(i) = *shown ? 1 : 0;
        }
    }
}

void SettingsScreen::applyHostSetupLine(int number, const std::vector<int>& v, const HostSetupLoad&) {
    if (number != hostline::kWindow) return;  // the host mode decides the tabs, not line 5
    const Qt::WindowStates kept = m_window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    m_window->setWindowState(v.at(0) == kMinimized   ? kept | Qt::WindowMinimized
                             : v.at(0) == kMaximized ? kept | Qt::WindowMaximized
                                                     : kept);
    // A damaged size would leave a window nobody can find or use.
    const QSize room = roomForWindow(m_window);
    m_window->resize(hostsetup::windowExtent(v.at(2), m_window->width(), room.width()),
                     hostsetup::windowExtent(v.at(1), m_window->height(), room.height()));
    if (!m_window->isVisible() || m_window->isMaximized() || m_window->isMinimized()) return;
    // Moved back where the whole window, title bar included, is on the screen.
    const QRect area = m_window->screen()->availableGeometry();
    QRect frame = m_window->frameGeometry();
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    m_window->move(frame.topLeft());
}

} // namespace cv
