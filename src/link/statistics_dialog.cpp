#include "link/statistics_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

namespace cv {

namespace {
constexpr int kLinesShownAtFirst = 4;  // until a source opens the window with its own count
} // namespace

StatsDialog::StatsDialog(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("TStatsForm");
    auto* layout = new QVBoxLayout(this);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    for (int i = 0; i < statsline::kCount; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QString("SFLB%1").arg(i + 1));
        l->setFont(mono);
        l->setAutoFillBackground(true);
        l->setMinimumWidth(240);
        l->setVisible(i < kLinesShownAtFirst);
        layout->addWidget(l);
        m_lines[size_t(i)] = l;
    }
    m_note = new QLabel(this);
    m_note->setObjectName("SFLBNote");
    m_note->setFont(mono);
    m_note->hide();
    layout->addWidget(m_note);
    setWindowTitle("Closed");
}

void StatsDialog::CloseStats() {
    m_source = -1;
    hide();
    setWindowTitle("Closed");
    for (auto* l : m_lines) l->setVisible(false);
    m_note->hide();
}

void StatsDialog::OpenStats(int source, int lineCount, const QString& title) {
    if (lineCount < 1 || lineCount > statsline::kCount) {
        CloseStats();
        return;
    }
    m_source = source;
    for (int i = 0; i < lineCount; ++i) m_lines[size_t(i)]->setVisible(true);
    setWindowTitle(title);
    adjustSize();
    show();
}

void StatsDialog::SetStatsLine(int source, int line, const QString& text) {
    if (source != m_source || line < 1 || line > statsline::kCount) return;
    m_lines[size_t(line - 1)]->setText(text);
}

void StatsDialog::SetStatsNote(int source, const QString& text) {
    if (source != m_source) return;
    m_note->setText(text);
    m_note->setVisible(!text.isEmpty());
}

void StatsDialog::SetStatsColour(int source, int line, const QColor& colour) {
    if (source != m_source || line < 1 || line > statsline::kCount) return;
    QLabel* l = m_lines[size_t(line - 1)];
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour);
    l->setPalette(p);
}

} // namespace cv
