#include "link/rs422_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace cv {

Rs422Dialog::Rs422Dialog(CommandSink& commands, QWidget* parent) : QDialog(parent), m_commands(commands) {
    setObjectName("TRS422Form");
    setWindowTitle("Changing Host Port Interface Protocol");
    auto* grid = new QGridLayout(this);
    auto* title = new QLabel("**** WARNING ****", this);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    grid->addWidget(title, 0, 0);
    const char* lines[] = {
        "Changing the Host Port Interface to RS-422 will disable the RS-232 line drivers.",
        "Normal PC COM Port Communications will be lost.",
        "If you are unable to return to the RS232 protocol, as a last resort,  you may:",
        "(a)  Set the Host Port to 9600 Baud",
        "(b)  Access this menu",
        "(c)  Cycle the power on this data logger",
        "(d)  Press the 'Switch to RS232' button within 3 seconds of re-applying power "};
    int row = 1;
    for (const char* t : lines) grid->addWidget(new QLabel(t, this), row++, 0);
    auto* rs422 = new QPushButton("Switch to RS422", this);
    rs422->setObjectName("RS422Button");
    auto* rs232 = new QPushButton("Switch to RS232", this);
    rs232->setObjectName("RS232Button");
    auto* cancel = new QPushButton("CANCEL", this);
    cancel->setObjectName("RS422Cancel");
    cancel->setAccessibleName("Cancel switch to RS422");
    grid->addWidget(rs422, 0, 1);
    grid->addWidget(rs232, 1, 1);
    grid->addWidget(cancel, row, 0, 1, 2, Qt::AlignHCenter);
    // A stray Enter must not cut the PC off from the logger: only a click or Space on a focused
    // switch button switches; Enter cancels.
    rs422->setAutoDefault(false);
    rs232->setAutoDefault(false);
    cancel->setDefault(true);
    setTabOrder(cancel, rs422);
    setTabOrder(rs422, rs232);
    cancel->setFocus();
    connect(rs422, &QPushButton::clicked, this, &Rs422Dialog::RS422ButtonClick);
    connect(rs232, &QPushButton::clicked, this, &Rs422Dialog::RS232ButtonClick);
    connect(cancel, &QPushButton::clicked, this, &Rs422Dialog::RS422CancelClick);
}

void Rs422Dialog::RS422ButtonClick() {
    if (m_commands.sendCommand(cmd::kSwitchToRs422)) hide();
}

void Rs422Dialog::RS232ButtonClick() {
    if (m_commands.sendCommand(cmd::kSwitchToRs232)) hide();
}

void Rs422Dialog::RS422CancelClick() { hide(); }

} // namespace cv
