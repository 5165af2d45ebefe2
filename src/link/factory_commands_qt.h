#pragma once
// The factory commands of the Commands and Logger_Port menus that go to the logger as they are:
// reset to the monitor program, load the default flash setup (each asked first), and the window
// that changes the logger's host interface type.
#include <QObject>

class QWidget;

namespace cv {

struct HostServices;
class Rs422Dialog;

class FactoryCommands : public QObject {
    Q_OBJECT
public:
    // Builds the interface-type window under `window` and connects the menu items it serves.
    FactoryCommands(QWidget* window, HostServices& services);

    // Handlers, named after the controls they serve.
    void ResetToMonitorClick();
    void LoadDefaultFlashSetupClick();
    void ChangeHostPortType1Click();

private:
    QWidget* m_window;
    HostServices& m_services;
    Rs422Dialog* m_rs422;
};

} // namespace cv
