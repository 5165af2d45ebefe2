#pragma once
// The row both setup pages end in: Get and Send, what became of the last Send, and the warning
// whether the logger's host port has room for the setup. `number` tells the two pages' controls
// apart; `pageName` is said with each read-out.
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "widgets/widget_helpers.h"

namespace cv {

struct SetupSendRow {
    QHBoxLayout* buttons;  // Get, Send and the Send's word
    QLabel* sent;
    QLabel* capacity;      // for the page to place below the row
};

inline SetupSendRow setupSendRow(QWidget* page, QPushButton* get, QPushButton* send, const QString& number,
                                 const QString& pageName) {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(get);
    buttons->addWidget(send);
    QLabel* sent = wordLabel(page, "LBSetupSent" + number, "Last Send Setup (" + pageName + ")");
    QLabel* capacity = wordLabel(page, "LBLineCapacity" + number, "Host port room for the setup (" + pageName + ")");
    // A warning with its remedy and the rate Send will send: as many lines as it takes (nothing
    // lies below it to move).
    capacity->setWordWrap(true);
    capacity->setMinimumHeight(0);
    capacity->setMaximumHeight(QWIDGETSIZE_MAX);
    buttons->addWidget(sent);
    buttons->addStretch(1);
    return {buttons, sent, capacity};
}

} // namespace cv
