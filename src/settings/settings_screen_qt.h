#pragma once
// The host settings controller: the host setup file read at start-up and from the Files menu,
// written at Exit and from the Files menu. It keeps the window's own lines itself (window
// state and size, tab visibility) and hands every other line to the subsystems' parts.
#include <QObject>
#include <filesystem>
#include <optional>
#include <vector>

#include "protocol/host_setup_part.h"

class QMainWindow;

namespace cv {

struct HostServices;
class PageTabs;

class SettingsScreen : public QObject, public HostSetupPart {
    Q_OBJECT
public:
    // `startupDirectory` is where last.cvh is read and written; without one the window keeps
    // no host setup file of its own (the menu commands still work). Connects the Files menu
    // items the window made, found by name.
    SettingsScreen(QMainWindow* window, HostServices& services, const PageTabs& tabs,
                   std::optional<std::filesystem::path> startupDirectory);

    // The subsystems' parts, in the order each line is applied to them.
    void addPart(HostSetupPart* part) { m_parts.push_back(part); }

    // Start-up: last.cvh from the startup directory; true when it was applied.
    bool loadLastSetup();
    // Exit: last.cvh into the startup directory. A file that cannot be written is reported in
    // a box the operator closes before the program ends.
    void saveLastSetup();

    // The file with every part, this one included; false when it was not loaded or not written.
    bool loadHostSetup(const std::filesystem::path& file, bool atStartup);
    bool saveHostSetup(const std::filesystem::path& file);

    // Handlers, named after the menu items they serve.
    void LoadHostSetupFileClick();
    void StoreHostSetupFileClick();

    // The window's lines: 3 (state, height, width) and 5 (tab visibility, written only).
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;

private:
    std::vector<HostSetupPart*> allParts();

    QMainWindow* m_window;
    const PageTabs& m_tabs;
    HostServices& m_services;
    std::optional<std::filesystem::path> m_startupDirectory;
    std::vector<HostSetupPart*> m_parts;
};

} // namespace cv
