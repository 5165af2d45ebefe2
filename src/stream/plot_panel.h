#pragma once
// The live plot on the Real Time Data page: a strip chart of up to four traces, each with its
// own logger ID, port, field (chosen from what the port has carried), axis range and last
// value, a window of 1, 10 or 60 minutes and a pause. It draws a few times a second while it
// is on screen and not at all while hidden; the stream only ever feeds the bounded model.
// Its choices live in a settings file of their own beside the user's configuration (never in
// the host setup file, whose fixed lines other tools read).
#include <QString>
#include <QWidget>
#include <array>
#include <utility>
#include <vector>

#include "stream/plot_model.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace cv {

class HostClock;

// Draws the traces straight from the model's thinned points: each trace scaled to its own range,
// or the shared traces to the one range that holds them all, a gap a break in its line; each
// trace named in its colour above the plot, and the time replayed records came in shaded.
class PlotView : public QWidget {
    Q_OBJECT
public:
    PlotView(plot::PlotModel& model, HostClock& clock, QWidget* parent);
    // Where the window ends; while paused it stays where the pause found it.
    void setEndMs(int64_t ms) { m_endMs = ms; }
    // While held, the view draws a copy of the points as they were, so a pause longer than the
    // window still shows what it held.
    void hold(bool held);
    // Points drawn by the last paint, per trace (gaps not counted).
    const std::array<int, plot::kTraces>& pointsDrawn() const { return m_drawn; }
    int paints() const { return m_paints; }
    // The texts of the last paint: each shown trace's name and its range ends, in trace order.
    const std::vector<QString>& labelsDrawn() const { return m_labels; }
    QSize sizeHint() const override { return {600, 220}; }
    QSize minimumSizeHint() const override { return {300, 140}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    plot::PlotModel& m_model;
    HostClock& m_clock;
    int64_t m_endMs = 0;
    bool m_frozen = false;
    std::array<std::deque<plot::Point>, plot::kTraces> m_held;
    std::array<int, plot::kTraces> m_drawn{};
    std::vector<QString> m_labels;
    int m_paints = 0;
};

class PlotPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 250;

    // `settingsPath`: the ini file the choices are read from now and written to on each change.
    PlotPanel(plot::PlotModel& model, HostClock& clock, const QString& settingsPath, QWidget* parent = nullptr);

    // The redraw step, from the panel's own timer while it is shown: the view, the last values
    // and the field lists. Does nothing while the panel is hidden.
    void redrawStep();
    int redraws() const { return m_redraws; }
    // The file in the user's configuration folder the production program keeps the choices in.
    static QString defaultSettingsPath();

    PlotView* PlotGraph;
    QComboBox* PlotWindowCB;
    QPushButton* BTPlotPause;
    struct TraceRow {
        QCheckBox* on;
        QSpinBox* logger;
        QSpinBox* port;
        QComboBox* field;
        QCheckBox* autoRange;
        QDoubleSpinBox* low;
        QDoubleSpinBox* high;
        QCheckBox* shared;
        QLineEdit* name;
        QLabel* last;
    };
    std::array<TraceRow, plot::kTraces> rows;

protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void rowChanged(int index);
    void toggled(int index, bool on);
    void fillFields(int index);
    void loadSettings();
    void saveSettings() const;

    plot::PlotModel& m_model;
    HostClock& m_clock;
    QString m_settingsPath;
    QTimer* m_timer;
    bool m_loading = false;
    int m_redraws = 0;
};

} // namespace cv
