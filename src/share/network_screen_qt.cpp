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
        connect(m_panel->NetProtocol[i], &QComboBox::activated, this, [this, n] { protocolChanged(n); });
        connect(m_panel->NetHost[i], &QLineEdit::editingFinished, this, changed);
        connect(m_panel->NetPort[i], &QSpinBox::valueChanged, this, changed);
        connect(m_panel->NetTopic[i], &QLineEdit::editingFinished, this, changed);
        connect(m_panel->NetPcTime[i], &QCheckBox::toggled, this, changed);
        connect(m_panel->NetValid[i], &QCheckBox::toggled, this, changed);
    }
    load();
    showFigures();
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

std::vector<std::string> NetworkScreen::runningOutputs() const {
    std::vector<std::string> running;
    for (int n = 0; n < kMaxOutputs; ++n) {
        if (!m_outputs.running(n)) continue;
        const OutputConfig& config = m_outputs.config(n);
        running.push_back(config.text() + (config.protocol == Protocol::Udp   ? " UDP"
                                           : config.protocol == Protocol::Tcp ? " TCP"
                                                                              : " MQTT"));
    }
    return running;
}

// The address and port that suit the new protocol, where the old ones would surprise: a TCP
// output listens on every address unless told otherwise, a broker's port is 1883.
void NetworkScreen::protocolChanged(int index) {
    const size_t i = size_t(index);
    const Protocol protocol = m_panel->configOf(index).protocol;
    if (protocol == m_shown[i]) return;
    const QSignalBlocker b1(m_panel->NetHost[i]), b2(m_panel->NetPort[i]);
    if (protocol == Protocol::Tcp) m_panel->NetHost[i]->clear();
    else if (m_panel->NetHost[i]->text().trimmed().isEmpty()) m_panel->NetHost[i]->setText("127.0.0.1");
    if (protocol == Protocol::Mqtt) m_panel->NetPort[i]->setValue(kMqttPort);
    else if (m_shown[i] == Protocol::Mqtt) m_panel->NetPort[i]->setValue(5001 + index);
    rowChanged(index);
}

// Any change restarts the output with what the row now says, so what runs is what is shown.
void NetworkScreen::rowChanged(int index) {
    const size_t i = size_t(index);
    m_shown[i] = m_panel->configOf(index).protocol;
    m_panel->enableFor(index, m_shown[i]);
    stop(index);
    if (m_panel->NetOn[i]->isChecked()) start(index);
    save();
    showFigures();
}

// The outputs' own second (MQTT's keep-alive and reconnection) is the Host's.
void NetworkScreen::figuresStep() { showFigures(); }

void NetworkScreen::showFigures() {
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
        const QString protocol = s.value("protocol").toString();
        config.protocol = protocol == "tcp" ? Protocol::Tcp : protocol == "mqtt" ? Protocol::Mqtt : Protocol::Udp;
        // The listening address has a key of its own: the address a TCP row kept from before
        // was its UDP destination, and it listened on every address.
        config.host = config.protocol == Protocol::Tcp ? s.value("listen").toString().toStdString()
                                                      : s.value("address", qs(config.host)).toString().toStdString();
        config.port = s.value("netport", config.port).toInt();
        config.topic = s.value("topic", qs(config.topic)).toString().toStdString();
        config.pcTime = s.value("pctime", false).toBool();
        config.validOnly = s.value("valid", false).toBool();
        const bool on = s.value("on", false).toBool();
        s.endGroup();
        m_panel->showConfig(n, config);
        m_shown[size_t(n)] = config.protocol;
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
        s.setValue("protocol", config.protocol == Protocol::Tcp ? "tcp" : config.protocol == Protocol::Mqtt ? "mqtt" : "udp");
        s.setValue(config.protocol == Protocol::Tcp ? "listen" : "address", qs(config.host));
        s.setValue("netport", config.port);
        s.setValue("topic", qs(config.topic));
        s.setValue("pctime", config.pcTime);
        s.setValue("valid", config.validOnly);
        s.endGroup();
    }
}

} // namespace cv::share
