#include "widgets/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace cv {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
}

int RadioGroup::itemIndex() const { return m_group->checkedId(); }

int RadioGroup::count() const { return int(m_group->buttons().size()); }

QRadioButton* RadioGroup::item(int index) const { return qobject_cast<QRadioButton*>(m_group->button(index)); }

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* button = m_group->button(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    m_group->setExclusive(false);
    for (QAbstractButton* b : m_group->buttons()) b->setChecked(false);
    m_group->setExclusive(true);
}

} // namespace cv
