#include "stream/plot_panel.h"

#include <utility>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ports/host_clock.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {

const std::array<QColor, plot::kTraces> kTraceColours = {QColor(0, 90, 200), QColor(200, 30, 30), QColor(0, 140, 60),
                                                         QColor(170, 80, 0)};

// Time marks at a round step that gives five or six across the window.
int64_t markStepMs(int64_t windowMs) {
    if (windowMs <= 60000) return 10000;
    if (windowMs <= 600000) return 120000;
    return 600000;
}

// The two ends of a trace's range with the same decimals, as many as tell them apart and show a
// tenth of the span: a position moving in its fourth decimal reads "4807.010" and "4807.000".
std::pair<QString, QString> rangeTexts(double high, double low) {
    const double span = high - low;
    const double size = std::max(std::abs(high), std::abs(low));
    if (span > 0 && size < 1e9) {
        // A hair off a whole power of ten must not cost or give a digit.
        const int decimals = std::clamp(int(std::ceil(-std::log10(span / 10) - 1e-6)), 0, 9);
        const QString top = QString::number(high, 'f', decimals), bottom = QString::number(low, 'f', decimals);
        if (top.size() <= 11 && bottom.size() <= 11) return {top, bottom};
    }
    int digits = 5;
    while (digits < 12 && high != low && QString::number(high, 'g', digits) == QString::number(low, 'g', digits)) ++digits;
    return {QString::number(high, 'g', digits), QString::number(low, 'g', digits)};
}

// "3" for a plain line's field, "GPGGA:2" for a sentence's.
QString fieldName(const fields::FieldColumn& s) {
    return (s.sentence.empty() ? QString() : qs(s.sentence) + ":") + QString::number(s.field);
}

// What a trace shows, as drawn over it: "Temp (logger 2, port 3, field 2)".
QString traceTitle(const plot::TraceChoice& c) {
    const QString where = QString("logger %1, port %2, field %3").arg(c.logger).arg(c.column.port).arg(fieldName(c.column));
    return c.name.empty() ? where : qs(c.name) + " (" + where + ")";
}

struct Range {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    bool empty() const { return low > high; }
    void take(const Range& r) {
        low = std::min(low, r.low);
        high = std::max(high, r.high);
    }
};

} // namespace

PlotView::PlotView(plot::PlotModel& model, HostClock& clock, QWidget* parent)
    : QWidget(parent), m_model(model), m_clock(clock) {
    setObjectName("PlotGraph");
    setAccessibleName("Live plot of the chosen fields");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void PlotView::hold(bool held) {
    m_frozen = held;
    for (int i = 0; i < plot::kTraces; ++i) {
        if (held)
            m_held[size_t(i)] = m_model.points(i);
        else
            m_held[size_t(i)] = {};
    }
}

void PlotView::paintEvent(QPaintEvent*) {
    ++m_paints;
    m_drawn.fill(0);
    m_labels.clear();
    QPainter painter(this);
    const QFontMetrics fm(font());
    const int line = fm.height();
    // Room on the left and right for two traces' ranges each, above for the names, below for
    // the time marks.
    const int side = fm.horizontalAdvance("-8.8888e+88") + 6;
    const QRect area = rect().adjusted(side, line + 4, -side, -line - 4);
    if (area.width() < 10 || area.height() < 10) return;

    const int64_t window = m_model.windowMs();
    const int64_t from = m_endMs - window;
    const auto x = [&](int64_t ms) { return area.left() + double(ms - from) * area.width() / double(window); };
    const QColor text = palette().color(QPalette::WindowText);

    // The time replayed records came in, so a replay is never read as the logger's present. Its
    // word goes on last, over the traces, at the foot of the band.
    const QColor bandColour(255, 232, 170);
    std::vector<QRectF> bandWords;
    for (const plot::ReplayBand& band : m_model.replayBands()) {
        if (band.toMs < from || band.fromMs > m_endMs) continue;
        const double left = std::max(x(band.fromMs), double(area.left()));
        const double right = std::min(std::max(x(band.toMs), left + 2), double(area.right()));
        painter.fillRect(QRectF(left, area.top(), right - left, area.height()), bandColour);
        const double wordWidth = fm.horizontalAdvance("Replay") + 6;
        if (right - left > wordWidth + 2)
            bandWords.push_back(QRectF(left + 1, area.bottom() - line - 1, wordWidth, line));
    }
    // Horizontal lines at the quarters of every trace's range, and time marks in the PC's local
    // time of day.
    painter.setPen(QColor(225, 225, 225));
    for (int k = 1; k < 4; ++k) {
        const double gy = area.top() + area.height() * k / 4.0;
        painter.drawLine(QPointF(area.left() + 1, gy), QPointF(area.right() - 1, gy));
    }
    const int64_t wallEndMs = m_clock.now() * 1000 + m_clock.hundredths() * 10 - (m_model.nowMs() - m_endMs);
    const int64_t step = markStepMs(window);
    for (int64_t wall = (wallEndMs - window) / step * step + step; wall <= wallEndMs; wall += step) {
        const double px = x(m_endMs - (wallEndMs - wall));
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(QPointF(px, area.top() + 1), QPointF(px, area.bottom() - 1));
        const std::tm t = m_clock.localTime(wall / 1000);
        const QString label = QString::asprintf("%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
        painter.setPen(text);
        painter.drawText(QPointF(px - fm.horizontalAdvance(label) / 2.0, area.bottom() + line + 1), label);
    }
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(area);

    // Each trace's own range, and the one the shared traces have in common.
    std::array<Range, plot::kTraces> ranges;
    Range shared;
    for (int i = 0; i < plot::kTraces; ++i) {
        const plot::TraceChoice& c = m_model.trace(i);
        if (!c.on || c.column.field < 1) continue;
        Range& r = ranges[size_t(i)];
        if (c.autoRange) {
            for (const plot::Point& p : m_frozen ? m_held[size_t(i)] : m_model.points(i))
                if (!p.isGap() && p.ms >= from && p.ms <= m_endMs) r.take({p.value, p.value});
            if (!r.empty() && r.high - r.low < 1e-12) r = {r.low - 0.5, r.high + 0.5};
        } else if (c.high > c.low) {
            r = {c.low, c.high};
        }
        if (c.shared) shared.take(r);
    }

    bool sharedLabelled = false;
    double nameX = area.left();
    for (int i = 0; i < plot::kTraces; ++i) {
        const plot::TraceChoice& c = m_model.trace(i);
        if (!c.on || c.column.field < 1) continue;
        const QColor colour = kTraceColours[size_t(i)];
        // Names in trace order along the strip above the plot; what does not fit is cut short.
        const QString title = QString::number(i + 1) + ": " + traceTitle(c) + (c.shared ? " [shared scale]" : "");
        painter.setPen(colour);
        const QString shown = fm.elidedText(title, Qt::ElideRight, int(area.right() - nameX));
        painter.drawText(QPointF(nameX, area.top() - 4 - fm.descent()), shown);
        nameX += fm.horizontalAdvance(shown) + fm.horizontalAdvance("    ");
        m_labels.push_back(title);

        const Range r = c.shared ? shared : ranges[size_t(i)];
        if (r.empty() || !(r.high > r.low)) continue;
        const double low = r.low, high = r.high;
        const auto y = [&](double v) { return area.bottom() - (v - low) * area.height() / (high - low); };

        // Plain one-pixel polylines: a stroked, smoothed path of a few thousand dense points
        // costs a second a redraw, a polyline well under a millisecond.
        painter.setPen(QPen(colour, 0));
        painter.setClipRect(area);
        const std::deque<plot::Point>& points = m_frozen ? m_held[size_t(i)] : m_model.points(i);
        QPolygonF run;
        run.reserve(qsizetype(points.size()));
        const auto flush = [&] {
            if (run.size() == 1) painter.drawPoint(run.front());
            else if (run.size() > 1) painter.drawPolyline(run);
            run.clear();
        };
        for (const plot::Point& p : points) {
            if (p.ms < from || p.ms > m_endMs || p.isGap()) {
                flush();
                continue;
            }
            run.append(QPointF(x(p.ms), std::clamp(y(p.value), double(area.top()), double(area.bottom()))));
            ++m_drawn[size_t(i)];
        }
        flush();
        painter.setClipping(false);
        // The ranges beside the plot, in a fixed place per trace: traces 1 and 2 left, 3 and 4
        // right; the shared range once, in the place of the first shared trace.
        if (c.shared && sharedLabelled) continue;
        sharedLabelled = sharedLabelled || c.shared;
        const bool left = i < 2;
        const int row = i % 2;
        const auto [top, bottom] = rangeTexts(high, low);
        const auto place = [&](const QString& s) {
            return left ? double(area.left() - 4 - fm.horizontalAdvance(s)) : double(area.right() + 4);
        };
        if (c.shared) painter.setPen(text);
        painter.drawText(QPointF(place(top), area.top() + fm.ascent() + row * line), top);
        painter.drawText(QPointF(place(bottom), area.bottom() - row * line), bottom);
        m_labels.push_back(top);
        m_labels.push_back(bottom);
    }
    for (const QRectF& word : bandWords) {
        painter.fillRect(word, bandColour);
        painter.setPen(QColor(150, 100, 0));
        painter.drawText(word, Qt::AlignCenter, "Replay");
    }
}

PlotPanel::PlotPanel(plot::PlotModel& model, HostClock& clock, const QString& settingsPath, QWidget* parent)
    : QWidget(parent), m_model(model), m_clock(clock), m_settingsPath(settingsPath), m_timer(new QTimer(this)) {
    setObjectName("PlotPanel");
    PlotGraph = new PlotView(model, clock, this);
    PlotWindowCB = named(new QComboBox(this), "PlotWindowCB");
    for (int m : plot::kWindowMinutes) PlotWindowCB->addItem(QString::number(m) + " min", m);
    auto* windowLabel = new QLabel("Plot window:", this);
    windowLabel->setBuddy(PlotWindowCB);
    PlotWindowCB->setAccessibleName("Plot time window");
    BTPlotPause = named(new QPushButton("Pause", this), "BTPlotPause");
    BTPlotPause->setCheckable(true);
    BTPlotPause->setAccessibleName("Pause the plot");
    BTPlotPause->setToolTip("Holds the plot still; the data keep coming in and show again on resume.");

    auto* head = new QHBoxLayout;
    head->addWidget(windowLabel);
    head->addWidget(PlotWindowCB);
    head->addWidget(BTPlotPause);
    head->addStretch(1);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    const char* headings[] = {"Trace", "Logger ID", "Port", "Field: last value", "Axis", "Min", "Max", "Scale", "Name",
                              "Last value"};
    constexpr int kColumns = int(std::size(headings));
    for (int k = 0; k < kColumns; ++k) grid->addWidget(new QLabel(headings[k], this), 0, k);
    for (int i = 0; i < plot::kTraces; ++i) {
        const QString n = QString::number(i + 1);
        const QString t = "Trace " + n;
        TraceRow& r = rows[size_t(i)];
        r.on = named(new QCheckBox(t, this), "PlotTrace" + n + "CB");
        r.on->setAccessibleName(t + " shown");
        QPalette p = r.on->palette();
        p.setColor(QPalette::WindowText, kTraceColours[size_t(i)]);
        r.on->setPalette(p);
        r.logger = named(new QSpinBox(this), "PlotLogger" + n + "UD");
        r.logger->setRange(1, plot::kLoggerIds);
        r.logger->setAccessibleName(t + " logger ID");
        r.logger->setToolTip("The logger ID whose data the trace shows (1: the PC logger).");
        r.port = named(new QSpinBox(this), "PlotPort" + n + "UD");
        r.port->setRange(1, fields::kTextPorts);
        r.port->setAccessibleName(t + " port");
        r.field = spokenAs(named(new QComboBox(this), "PlotField" + n + "CB"), t + " field");
        r.field->setMinimumContentsLength(16);
        r.field->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        r.field->setToolTip("The fields this port's lines have carried, with their last values.");
        r.autoRange = named(new QCheckBox("Auto", this), "PlotAuto" + n + "CB");
        r.autoRange->setChecked(true);
        r.autoRange->setAccessibleName(t + " automatic axis range");
        r.low = named(new QDoubleSpinBox(this), "PlotMin" + n + "ED");
        r.high = named(new QDoubleSpinBox(this), "PlotMax" + n + "ED");
        for (QDoubleSpinBox* b : {r.low, r.high}) {
            b->setRange(-1e9, 1e9);
            b->setDecimals(3);
            // Room for the usual ends, not for the range's widest: the row has more to show.
            b->setMaximumWidth(b->fontMetrics().horizontalAdvance("-000000.000") + 30);
        }
        r.high->setValue(1);
        r.low->setAccessibleName(t + " axis minimum");
        r.high->setAccessibleName(t + " axis maximum");
        r.shared = named(new QCheckBox("Shared", this), "PlotShared" + n + "CB");
        r.shared->setAccessibleName(t + " on the shared scale");
        r.shared->setToolTip("Traces ticked here are drawn on one scale that holds them all, so two traces that "
                             "move together are told apart by their values.");
        r.name = named(new QLineEdit(this), "PlotName" + n + "ED");
        r.name->setAccessibleName(t + " name");
        r.name->setPlaceholderText("name");
        r.name->setMaxLength(24);
        r.name->setToolTip("Your name for the trace, shown over the plot with its logger, port and field.");
        r.name->setFixedWidth(r.name->fontMetrics().horizontalAdvance("Temperature") + 12);
        r.last = named(new QLabel(this), "PlotLast" + n + "LB");
        r.last->setAccessibleName(t + " last value and age");
        r.last->setMinimumWidth(r.last->fontMetrics().horizontalAdvance("-0000.0000  59 min ago"));
        QWidget* cells[] = {r.on, r.logger, r.port, r.field, r.autoRange, r.low, r.high, r.shared, r.name, r.last};
        for (int k = 0; k < kColumns; ++k) grid->addWidget(cells[k], i + 1, k);

        connect(r.on, &QCheckBox::toggled, this, [this, i](bool on) { toggled(i, on); });
        connect(r.shared, &QCheckBox::toggled, this, [this, i] { rowChanged(i); });
        connect(r.name, &QLineEdit::editingFinished, this, [this, i] { rowChanged(i); });
        connect(r.logger, &QSpinBox::valueChanged, this, [this, i] { rowChanged(i); });
        connect(r.port, &QSpinBox::valueChanged, this, [this, i] { rowChanged(i); });
        connect(r.field, &QComboBox::currentIndexChanged, this, [this, i] { rowChanged(i); });
        connect(r.autoRange, &QCheckBox::toggled, this, [this, i] { rowChanged(i); });
        connect(r.low, &QDoubleSpinBox::valueChanged, this, [this, i] { rowChanged(i); });
        connect(r.high, &QDoubleSpinBox::valueChanged, this, [this, i] { rowChanged(i); });
    }
    grid->setColumnStretch(kColumns, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(head);
    layout->addWidget(PlotGraph, 1);
    layout->addLayout(grid);

    connect(PlotWindowCB, &QComboBox::currentIndexChanged, this, [this] {
        m_model.setWindowMinutes(PlotWindowCB->currentData().toInt());
        saveSettings();
        redrawStep();
    });
    connect(BTPlotPause, &QPushButton::toggled, this, [this](bool paused) {
        PlotGraph->hold(paused);
        BTPlotPause->setText(paused ? "Resume" : "Pause");
        BTPlotPause->setAccessibleName(paused ? "Resume the plot" : "Pause the plot");
        redrawStep();
    });
    m_timer->setInterval(kRedrawMs);
    connect(m_timer, &QTimer::timeout, this, &PlotPanel::redrawStep);
    loadSettings();
}

QString PlotPanel::defaultSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/plot.ini";
}

void PlotPanel::showEvent(QShowEvent*) {
    m_timer->start();
    redrawStep();
}

void PlotPanel::hideEvent(QHideEvent*) { m_timer->stop(); }

void PlotPanel::redrawStep() {
    if (!isVisible()) return;
    ++m_redraws;
    const int64_t now = m_model.nowMs();
    if (!BTPlotPause->isChecked()) PlotGraph->setEndMs(now);
    for (int i = 0; i < plot::kTraces; ++i) {
        TraceRow& r = rows[size_t(i)];
        fillFields(i);
        const plot::TraceChoice& c = m_model.trace(i);
        QString text;
        if (c.on && c.column.field >= 1 && m_model.lastMs(i) >= 0) {
            const int64_t age = (now - m_model.lastMs(i)) / 1000;
            const QString value = m_model.lastValue(i) ? QString::number(*m_model.lastValue(i), 'g', 8) : "gap";
            text = value + "  " + (age < 60     ? QString::number(age) + " s ago"
                                   : age < 3600 ? QString::number(age / 60) + " min ago"
                                                : QString::number(age / 3600) + " h ago");
        } else if (c.on) {
            text = "no data";
        }
        showCaption(r.last, text);
    }
    PlotGraph->update();
}

// The list follows what the port carries; the chosen field stays chosen (and listed, with no
// value, until it is seen again) while items are added and their values change.
void PlotPanel::fillFields(int index) {
    TraceRow& r = rows[size_t(index)];
    if (r.field->view()->isVisible()) return;  // never change a list under the operator's eyes
    const std::vector<plot::SeenField>& seen = m_model.fieldsSeen(r.logger->value(), r.port->value());
    const QString chosen = r.field->currentData().toString();
    QSignalBlocker quiet(r.field);
    for (const plot::SeenField& s : seen) {
        const QString key = qs(s.column.text());
        if (!s.numeric && key != chosen) continue;  // text fields have nothing to draw
        const QString text = fieldName(s.column) + ": " + qs(s.lastText);
        const int at = r.field->findData(key);
        if (at < 0)
            r.field->addItem(text, key);
        else if (r.field->itemText(at) != text)
            r.field->setItemText(at, text);
    }
    r.field->setCurrentIndex(chosen.isEmpty() ? -1 : r.field->findData(chosen));
}

// A trace ticked for the first time starts at the logger that is answering, not at ID 1.
void PlotPanel::toggled(int index, bool on) {
    TraceRow& r = rows[size_t(index)];
    if (on && !m_loading && m_model.trace(index).column.field < 1) {
        QSignalBlocker quiet(r.logger);
        r.logger->setValue(m_model.answeringLogger());
    }
    rowChanged(index);
}

void PlotPanel::rowChanged(int index) {
    if (m_loading) return;
    TraceRow& r = rows[size_t(index)];
    plot::TraceChoice c = m_model.trace(index);
    const bool portChanged = c.logger != r.logger->value() || c.column.port != r.port->value();
    c.on = r.on->isChecked();
    c.logger = r.logger->value();
    if (portChanged) {
        // Another port's fields: the list starts again from what that port carries.
        QSignalBlocker quiet(r.field);
        r.field->clear();
        c.column = fields::FieldColumn{r.port->value(), {}, 0};
        fillFields(index);
    } else {
        std::string fault;
        const auto column = fields::parseFieldColumn(r.field->currentData().toString().toStdString(), fault);
        c.column = column ? *column : fields::FieldColumn{r.port->value(), {}, 0};
    }
    c.autoRange = r.autoRange->isChecked();
    r.low->setEnabled(!c.autoRange);
    r.high->setEnabled(!c.autoRange);
    c.low = r.low->value();
    c.high = r.high->value();
    c.shared = r.shared->isChecked();
    c.name = r.name->text().trimmed().toStdString();
    m_model.setTrace(index, c);
    saveSettings();
    redrawStep();
}

void PlotPanel::loadSettings() {
    QSettings s(m_settingsPath, QSettings::IniFormat);
    m_loading = true;
    setIndex(PlotWindowCB, PlotWindowCB->findData(s.value("window", 10).toInt()));
    if (PlotWindowCB->currentIndex() < 0) PlotWindowCB->setCurrentIndex(1);
    m_model.setWindowMinutes(PlotWindowCB->currentData().toInt());
    for (int i = 0; i < plot::kTraces; ++i) {
        TraceRow& r = rows[size_t(i)];
        s.beginGroup("trace" + QString::number(i + 1));
        plot::TraceChoice c;
        c.on = s.value("on", false).toBool();
        c.logger = std::clamp(s.value("logger", 1).toInt(), 1, plot::kLoggerIds);
        std::string fault;
        const auto column = fields::parseFieldColumn(s.value("field").toString().toStdString(), fault);
        c.column = column ? *column : fields::FieldColumn{std::clamp(s.value("port", 1).toInt(), 1, fields::kTextPorts), {}, 0};
        c.autoRange = s.value("auto", true).toBool();
        c.low = s.value("min", 0.0).toDouble();
        c.high = s.value("max", 1.0).toDouble();
        c.shared = s.value("shared", false).toBool();
        c.name = s.value("name").toString().left(24).toStdString();
        s.endGroup();
        r.on->setChecked(c.on);
        r.logger->setValue(c.logger);
        r.port->setValue(c.column.port);
        r.field->clear();
        if (c.column.field >= 1) r.field->addItem(fieldName(c.column) + ": ", qs(c.column.text()));
        r.autoRange->setChecked(c.autoRange);
        r.shared->setChecked(c.shared);
        r.name->setText(qs(c.name));
        r.low->setValue(c.low);
        r.high->setValue(c.high);
        r.low->setEnabled(!c.autoRange);
        r.high->setEnabled(!c.autoRange);
        c.low = r.low->value();
        c.high = r.high->value();
        m_model.setTrace(i, c);
    }
    m_loading = false;
}

void PlotPanel::saveSettings() const {
    if (m_loading || m_settingsPath.isEmpty()) return;
    QDir().mkpath(QFileInfo(m_settingsPath).absolutePath());
    QSettings s(m_settingsPath, QSettings::IniFormat);
    s.setValue("window", m_model.windowMinutes());
    for (int i = 0; i < plot::kTraces; ++i) {
        const plot::TraceChoice& c = m_model.trace(i);
        s.beginGroup("trace" + QString::number(i + 1));
        s.setValue("on", c.on);
        s.setValue("logger", c.logger);
        s.setValue("port", c.column.port);
        s.setValue("field", c.column.field >= 1 ? qs(c.column.text()) : QString());
        s.setValue("auto", c.autoRange);
        s.setValue("min", c.low);
        s.setValue("max", c.high);
        s.setValue("shared", c.shared);
        s.setValue("name", qs(c.name));
        s.endGroup();
    }
}

} // namespace cv
