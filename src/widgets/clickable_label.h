#pragma once
#include <QLabel>
#include <QMouseEvent>

namespace cv {

// A panel that acts on a click (the setup marker, the red "X" of the port group).
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    void click() { emit clicked(); }
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
        QLabel::mouseReleaseEvent(e);
    }
};

} // namespace cv
