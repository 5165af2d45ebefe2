#include "setup/polled_buttons_widget.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace cv {

PolledButtonsWidget::PolledButtonsWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("PolledButtonsWidget");
    Button3 = new QPushButton("Polled-Wake", this);
    Button3->setObjectName("Button3");
    Button4 = new QPushButton("Polled-Sleep", this);
    Button4->setObjectName("Button4");
    Button3->hide();
    Button4->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(Button3);
    row->addWidget(Button4);
    row->addStretch(1);
}

} // namespace cv
