#pragma once
// The operator's guide in a window of its own: it stays open beside the main window while the
// operator works, and needs no browser. The text is built into the program (the same file is
// installed beside the README), so it is there wherever the program runs from.
#include <QWidget>

class QTextBrowser;

namespace cv {

class OperatorGuideWindow : public QWidget {
    Q_OBJECT
public:
    static const char* const kTitle;
    explicit OperatorGuideWindow(QWidget* parent = nullptr);

    QTextBrowser* text() const { return m_text; }

private:
    QTextBrowser* m_text;
};

} // namespace cv
