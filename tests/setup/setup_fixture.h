#pragma once
// A stand-in main window holding what the setup screen controller looks up by name: the three
// pages, the Logger Status box, the left-column panels, the menus, and a few controls of other
// subsystems' pages that it reaches (Upload, Real Time, Recording, PC-Logger, Hardware).
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "widgets/host_services.h"
#include "link/commands.h"
#include "support/fakes.h"

class QAction;
class QComboBox;
class QLabel;
class QTabWidget;

namespace cv {
class SetupScreen;
}

namespace cv::test {

// Every packet, block and raw text as one write each, in order.
class RecordingSink : public CommandSink {
public:
    std::vector<std::vector<uint8_t>> writes;
    bool accept = true;  // false: the port takes nothing, as a closed or lost one
    bool sendCommand(uint16_t code, uint16_t arg16, uint32_t arg32) override;
    bool sendBlock(const uint8_t* bytes, size_t length) override;
    bool sendRaw(const std::string& text) override;
    std::vector<uint8_t> joined() const;
};

std::vector<uint8_t> textBytes(const std::string& s);
std::vector<uint8_t> packetBytes(uint16_t code, uint16_t arg16 = 0, uint32_t arg32 = 0);

class FixtureWindow : public QMainWindow {
public:
    FixtureWindow();
    QTabWidget* tabs = nullptr;
    QAction* menuAction(const char* name) const;
};

// The window, the fakes behind HostServices and the controller.
struct SetupRig {
    FakeClock clock;
    FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    RecordingSink sink;
    LoggerRecords records;
    LoggerFacts facts;
    int reopenCount = 0;
    int relayoutCount = 0;
    HostServices services{sink, warnings, dialogs, clock, records, facts, [this] { ++reopenCount; },
                          [this] { ++relayoutCount; }};
    std::unique_ptr<FixtureWindow> window;
    SetupScreen* screen = nullptr;  // owned by the window

    SetupRig();
    ~SetupRig();

    template <class T>
    T* w(const char* name) const {
        return window->findChild<T*>(name);
    }
    bool shown(const char* name) const;  // visible to the window (tabs: the tab is visible)
    bool tabShown(const char* name) const;
    QString text(const char* name) const;
    void choose(const char* comboName, int index);  // as the operator picks an item
    void clickButton(const char* name);
    void trigger(const char* actionName);
    void deliverSetup(const std::array<uint8_t, 192>& record);
    void deliverStatus(const std::array<uint8_t, 132>& record);
};

} // namespace cv::test
