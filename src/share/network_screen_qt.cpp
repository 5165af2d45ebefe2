#include "share/network_screen_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardPaths>

#include "share/network_panel.h"
#include "widgets/widget_helpers.h"

namespace cv::share {

NetworkScreen::NetworkScreen(QObject* parent, NetworkOutputs& outputs, QString settingsFile)
    : QObject(parent),
      m_outputs(outputs),
      m_panel(new NetworkPanel),
      m_settingsFile(std::move(settingsFile)) {
    for (int n = 0; n < kMaxOutputs; ++n) {
        const size_t i = size_t(n);
        auto changed = [this, n] { rowChanged(n); };
        connect(m_panel->NetOn[i], &QCheckBox::toggled, this, changed);
        connect(m_panel->NetLogger[i], &QSpinBox::valueChanged, this, changed);
        connect(m_panel->NetSection[i], &QSpinBox::valueChanged, this, changed);
        connect(m_panel->NetProtocol[i], &QComboBox::activated, this, changed);
        connect(m_panel->NetHost[i], &QLineEdit::editingFinished, this, changed);
        connect(m_panel->NetPort[i], &QSpinBox::valueChanged, this, changed);
        connect(m_panel->NetPcTime[i], &QCheckBox::toggled, this, changed);
    }
    load();
    figuresStep();
}

NetworkScreen::~NetworkScreen() {
    if (!m_panel) return;
    if (!m_panel->parent()) delete m_panel;
    else m_panel->disconnect(this);
}

QString NetworkScreen::defaultSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/network.ini";
}

void NetworkScreen::stop(int index) { m_outputs.stop(index); }

void NetworkScreen::start(int index) { m_outputs.start(index, m_panel->configOf(index)); }

// Any change restarts the output with what the row now says, so what runs is what is shown.
void NetworkScreen::rowChanged(int index) {
    const size_t i = size_t(index);
    m_panel->NetHost[i]->setEnabled(m_panel->NetProtocol[i]->currentIndex() == 0);
    stop(index);
    if (m_panel->NetOn[i]->isChecked()) start(index);
    save();
    figuresStep();
}

void NetworkScreen::figuresStep() {
    for (int n = 0; n < kMaxOutputs; ++n) {
        const size_t i = size_t(n);
        const OutputFigures f = m_outputs.figures(n, m_panel->NetOn[i]->isChecked());
        const QString text = qs(figuresText(f, m_panel->configOf(n).protocol));
        if (m_panel->NetFigures[i]->text() != text) {
            m_panel->NetFigures[i]->setText(text);
            m_panel->NetFigures[i]->setToolTip(text);
            tellState(m_panel->NetFigures[i], text);
        }
    }
}

void NetworkScreen::load() {
    if (m_settingsFile.isEmpty()) return;
    QSettings s(m_settingsFile, QSettings::IniFormat);
    for (int n = 0; n < kMaxOutputs; ++n) {
        s.beginGroup(QString("output%1").arg(n + 1));
        OutputConfig config = m_panel->configOf(n);
        config.logger = s.value("logger", config.logger).toInt();
        config.section = s.value("port", config.section).toInt();
        config.protocol = s.value("protocol").toString() == "tcp" ? Protocol::Tcp : Protocol::Udp;
        config.host = s.value("address", qs(config.host)).toString().toStdString();
        config.port = s.value("netport", config.port).toInt();
        config.pcTime = s.value("pctime", false).toBool();
        const bool on = s.value("on", false).toBool();
        s.endGroup();
        m_panel->showConfig(n, config);
        {
            const QSignalBlocker block(m_panel->NetOn[size_t(n)]);
            m_panel->NetOn[size_t(n)]->setChecked(on);
        }
        if (on) start(n);
    }
}

void NetworkScreen::save() const {
    if (m_settingsFile.isEmpty()) return;
    QSettings s(m_settingsFile, QSettings::IniFormat);
    for (int n = 0; n < kMaxOutputs; ++n) {
        const OutputConfig config = m_panel->configOf(n);
        s.beginGroup(QString("output%1").arg(n + 1));
        s.setValue("on", m_panel->NetOn[size_t(n)]->isChecked());
        s.setValue("logger", config.logger);
        s.setValue("port", config.section);
        s.setValue("protocol", config.protocol == Protocol::Tcp ? "tcp" : "udp");
        s.setValue("address", qs(config.host));
        s.setValue("netport", config.port);
        s.setValue("pctime", config.pcTime);
        s.endGroup();
    }
}

} // namespace cv::share
