#pragma once
// TMuxIDForm "Set Logger ID": shows the ID the logger last reported and sends it a new one.
#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;

namespace cv {

class CommandSink;

class LoggerIdDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoggerIdDialog(CommandSink& commands, QWidget* parent = nullptr);

    void showCurrentId(int id);  // "Current Logger ID:  %3d"

    void UDMuxIDClick();
    void BTSendMuxIDClick();

    QLabel* LBCurrentMuxID = nullptr;
    QLabel* Label2 = nullptr;
    QSpinBox* UDMuxID = nullptr;
    QLabel* LBNewMuxID = nullptr;
    QPushButton* BTSendMuxID = nullptr;

private:
    CommandSink& m_commands;
};

} // namespace cv
