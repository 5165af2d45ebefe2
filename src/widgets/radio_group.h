#pragma once
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace cv {

// A titled group of exclusive choices whose chosen item is an index, -1 while none is chosen.
// Other screens reach the index through the "itemIndex" property.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);  // -1 (or any index out of range) chooses none
    QRadioButton* item(int index) const;
    int count() const;

private:
    QButtonGroup* m_group;
};

} // namespace cv
