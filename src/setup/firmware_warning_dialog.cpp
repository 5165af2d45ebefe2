#include "setup/firmware_warning_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/colours.h"

namespace cv {

FirmwareWarningDialog::FirmwareWarningDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("TForm2");
    setWindowTitle("WARNING!!!");
    setModal(false);
    setPanelColour(this, kRed);

    WarningText = new QLabel(this);
    WarningText->setObjectName("WarningText");
    WarningText->setWordWrap(true);
    WarningText->setAlignment(Qt::AlignCenter);
    WarningText->setMinimumWidth(320);
    QFont f = WarningText->font();
    f.setBold(true);
    WarningText->setFont(f);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    connect(OKButton, &QPushButton::clicked, this, &QDialog::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addStretch(1);
    auto* v = new QVBoxLayout(this);
    v->addWidget(WarningText);
    v->addLayout(buttons);
}

void FirmwareWarningDialog::showWarning(const QString& text) {
    WarningText->setText(text);
    show();
    raise();
}

} // namespace cv
