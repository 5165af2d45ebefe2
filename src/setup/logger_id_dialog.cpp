#include "setup/logger_id_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "protocol/commands.h"
#include "setup/logger_id.h"
#include "setup/status_record.h"

namespace cv {

namespace {
// Takes only digits that make a valid ID: a typed 1 or 9 is refused at the key, instead of
// standing in the box while the last valid ID is what gets sent.
class IdSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;
    QValidator::State validate(QString& text, int& pos) const override {
        const QValidator::State state = QSpinBox::validate(text, pos);
        return state == QValidator::Intermediate && !text.trimmed().isEmpty() ? QValidator::Invalid : state;
    }
};
} // namespace

LoggerIdDialog::LoggerIdDialog(CommandSink& commands, QWidget* parent) : QDialog(parent), m_commands(commands) {
    setObjectName("TMuxIDForm");
    setWindowTitle("Set Logger ID");
    setModal(false);

    LBCurrentMuxID = new QLabel("Current Logger ID:  XXX", this);
    LBCurrentMuxID->setObjectName("LBCurrentMuxID");
    Label2 = new QLabel("Change Logger ID to:  ", this);
    Label2->setObjectName("Label2");
    UDMuxID = new IdSpinBox(this);
    UDMuxID->setObjectName("UDMuxID");
    UDMuxID->setRange(loggerid::kNewIdMinimum, loggerid::kNewIdMaximum);
    UDMuxID->setValue(loggerid::kNewIdStart);
    Label2->setBuddy(UDMuxID);
    LBNewMuxID = new QLabel("002", this);
    LBNewMuxID->setObjectName("LBNewMuxID");
    LBNewMuxID->setMinimumWidth(40);
    BTSendMuxID = new QPushButton("Send New Logger ID", this);
    BTSendMuxID->setObjectName("BTSendMuxID");

    auto* g = new QGridLayout(this);
    g->addWidget(LBCurrentMuxID, 0, 0, 1, 3);
    g->addWidget(Label2, 1, 0);
    g->addWidget(LBNewMuxID, 1, 1);
    g->addWidget(UDMuxID, 1, 2);
    g->addWidget(BTSendMuxID, 2, 0, 1, 3);

    connect(UDMuxID, &QSpinBox::valueChanged, this, &LoggerIdDialog::UDMuxIDClick);
    connect(BTSendMuxID, &QPushButton::clicked, this, &LoggerIdDialog::BTSendMuxIDClick);
}

void LoggerIdDialog::showCurrentId(int id) {
    LBCurrentMuxID->setText(QString::fromStdString(status::currentLoggerIdText(id)));
}

void LoggerIdDialog::UDMuxIDClick() { LBNewMuxID->setText(QString::fromStdString(loggerid::newIdText(UDMuxID->value()))); }

void LoggerIdDialog::BTSendMuxIDClick() {
    // An emptied box is put back to the ID it held before anything is sent.
    UDMuxID->interpretText();
    m_commands.sendCommand(cmd::kSetMuxId, uint16_t(UDMuxID->value()), 0);
}

} // namespace cv
