#pragma once
// TRS422Form: switches the logger's host port between RS-232 and RS-422 after a warning.
#include <QDialog>

#include "protocol/commands.h"

class QPushButton;

namespace cv {

class Rs422Dialog : public QDialog {
    Q_OBJECT
public:
    Rs422Dialog(CommandSink& commands, QWidget* parent = nullptr);
    void RS422ButtonClick();
    void RS232ButtonClick();
    void RS422CancelClick();

private:
    CommandSink& m_commands;
};

} // namespace cv
