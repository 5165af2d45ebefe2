#include "link/factory_commands_qt.h"

#include <QAction>
#include <QWidget>

#include "link/rs422_dialog.h"
#include "widgets/host_services.h"

namespace cv {

FactoryCommands::FactoryCommands(QWidget* window, HostServices& services)
    : QObject(window), m_window(window), m_services(services), m_rs422(new Rs422Dialog(services.commands, window)) {
    const MenuItems& menu = services.menu;
    connect(menu.ResetToMonitor, &QAction::triggered, this, &FactoryCommands::ResetToMonitorClick);
    connect(menu.LoadDefaultFlashSetup, &QAction::triggered, this, &FactoryCommands::LoadDefaultFlashSetupClick);
    connect(menu.ChangeHostInterface, &QAction::triggered, this, &FactoryCommands::ChangeHostPortType1Click);
}

void FactoryCommands::ResetToMonitorClick() {
    m_services.dialogs.beep(Icon::Exclamation);
    if (m_services.dialogs.ask("Data Logger Monitor",
                               "Are you sure you want cease operation and exit to the Monitor Program?",
                               Buttons::OkCancel, Icon::Exclamation) == Answer::Ok)
        m_services.commands.sendCommand(cmd::kResetToMonitor);
}

void FactoryCommands::LoadDefaultFlashSetupClick() {
    m_services.dialogs.beep(Icon::Exclamation);
    if (m_services.dialogs.ask("Reset the Data Logger to it's Default Settings",
                               "The current operation will be halted and the current settings will be erased.\n\n"
                               "Are you sure you want to Reset to the default settings?",
                               Buttons::OkCancel, Icon::Exclamation) == Answer::Ok)
        m_services.commands.sendCommand(cmd::kLoadDefaultSetup);
}

void FactoryCommands::ChangeHostPortType1Click() {
    m_rs422->adjustSize();
    m_rs422->move(m_window->geometry().center() - m_rs422->rect().center());
    m_rs422->show();
}

} // namespace cv
