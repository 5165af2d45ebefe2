#pragma once
// TStatsForm: up to nine live statistics lines for one numbered source (0 = the logger port).
// The timers write the lines whether or not the window is visible; lines for another source
// than the one shown are ignored.
#include <QColor>
#include <QDialog>
#include <array>

#include "link/statistics_lines.h"

class QLabel;

namespace cv {

class StatsDialog : public QDialog {
    Q_OBJECT
public:
    explicit StatsDialog(QWidget* parent = nullptr);

    void CloseStats();
    void OpenStats(int source, int lineCount, const QString& title);
    void SetStatsLine(int source, int line, const QString& text);
    void SetStatsColour(int source, int line, const QColor& colour);
    // A line below the nine, shown only while it has something to say (the logger port's line
    // running full); ignored for another source than the one shown.
    void SetStatsNote(int source, const QString& text);
    int shownSource() const { return m_source; }
    QLabel* line(int n) const { return n >= 1 && n <= statsline::kCount ? m_lines[size_t(n - 1)] : nullptr; }

private:
    std::array<QLabel*, statsline::kCount> m_lines{};
    QLabel* m_note = nullptr;
    int m_source = -1;
};

} // namespace cv
