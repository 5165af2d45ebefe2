#include "app/operator_guide_window.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "widgets/window_room.h"

namespace cv {

const char* const OperatorGuideWindow::kTitle = "CV Logger Host - Operator's Guide";

OperatorGuideWindow::OperatorGuideWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("OperatorGuideWindow");
    setWindowTitle(kTitle);
    m_text = new QTextBrowser(this);
    m_text->setObjectName("GuideText");
    m_text->setAccessibleName("Operator's guide");
    m_text->setOpenExternalLinks(true);
    m_text->document()->setDocumentMargin(12);
    QFile guide(":/docs/operator-guide.md");
    if (guide.open(QIODevice::ReadOnly | QIODevice::Text))
        m_text->setMarkdown(QString::fromUtf8(guide.readAll()));
    else
        m_text->setPlainText("The operator's guide is missing from this build.");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    openWithinScreen(this, QSize(760, 640));
}

} // namespace cv
