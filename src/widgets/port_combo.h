#pragma once
// A COM port combo box whose items carry device paths as long as /dev/serial/by-id/...: the
// drop-down is as wide as its widest item, and the whole text of each item and of the one
// chosen is a tool tip, however narrow the box is on the page.
#include <QAbstractItemView>
#include <QComboBox>
#include <algorithm>

namespace cv {

// Again after the items' texts change (a COM number mapped to another device).
inline void fitWholePortNames(QComboBox* combo) {
    for (int i = 0; i < combo->count(); ++i) combo->setItemData(i, combo->itemText(i), Qt::ToolTipRole);
    combo->view()->setTextElideMode(Qt::ElideNone);
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i)
        widest = std::max(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
    combo->view()->setMinimumWidth(widest + 40);  // room for the frame and a scroll bar
    combo->setToolTip(combo->currentText());
}

inline void showWholePortNames(QComboBox* combo) {
    fitWholePortNames(combo);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo] { combo->setToolTip(combo->currentText()); });
}

} // namespace cv
