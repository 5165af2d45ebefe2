#pragma once
// The real main window with its controllers over fake ports, seen from the setup screen: the
// logger port is open on COM3, and what the controllers send to the logger is read back from
// that line.
#include <memory>
#include <string>
#include <vector>

#include "app/hostmain_window.h"
#include "protocol/commands.h"
#include "support/fakes.h"

class QAction;
class QComboBox;
class QLabel;
class QTabWidget;

namespace cv {
class SetupScreen;
}

namespace cv::test {

// Every packet, block and raw text the logger port took, one write each, in order.
struct LineSink {
    std::shared_ptr<FakeLine> line;
    std::vector<std::vector<uint8_t>>& writes;
    std::vector<uint8_t> joined() const { return line->written(); }
};

struct SetupRig {
    FakeClock clock;
    FakeDialogs dialogs;
    FakeSerialFactory serial;
    std::unique_ptr<TForm1> window;
    LoggerRecords& records;
    LoggerFacts& facts;
    SetupScreen* screen = nullptr;  // owned by the window
    LineSink sink;

    SetupRig();
    ~SetupRig();

    template <class T>
    T* w(const char* name) const {
        return window->findChild<T*>(name);
    }
    QAction* action(const char* name) const;
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
