#include "share/network_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "widgets/widget_helpers.h"

namespace cv::share {

NetworkPanel::NetworkPanel(QWidget* parent) : QGroupBox("Network", parent) {
    setObjectName("NetworkGB");
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(2);
    const char* headings[] = {"Output", "Logger ID", "Logger Port", "Protocol", "Address", "Net Port", "Topic", "", "", "Lines sent, clients, dropped"};
    for (int c = 0; c < int(std::size(headings)); ++c) grid->addWidget(new QLabel(headings[c], this), 0, c);
    for (int n = 0; n < kMaxOutputs; ++n) {
        const size_t i = size_t(n);
        const int k = n + 1;
        const QString who = QString("Network output %1").arg(k);
        NetOn[i] = named(new QCheckBox(QString::number(k), this), QString("NetOn%1").arg(k));
        NetOn[i]->setAccessibleName(who + " on");
        NetOn[i]->setToolTip("Sends while ticked; untick to stop this output at once.");
        NetLogger[i] = named(new QSpinBox(this), QString("NetLogger%1").arg(k));
        NetLogger[i]->setRange(1, kLoggerIds);
        NetLogger[i]->setAccessibleName(who + " logger ID");
        NetLogger[i]->setToolTip("Logger ID whose data is sent; the PC logger is 1.");
        NetSection[i] = named(new QSpinBox(this), QString("NetSection%1").arg(k));
        NetSection[i]->setRange(1, kSections);
        NetSection[i]->setAccessibleName(who + " logger port");
        NetSection[i]->setToolTip("Logger port 1 to 8, or 9.");
        NetProtocol[i] = spokenAs(named(new QComboBox(this), QString("NetProtocol%1").arg(k)), who + " protocol");
        NetProtocol[i]->addItems({"UDP", "TCP", "MQTT"});
        NetProtocol[i]->setToolTip("UDP: one datagram a line to the address. TCP: the stream to every client that "
                                   "connects. MQTT: one message a line to a broker, for any number of subscribers.");
        NetHost[i] = named(new QLineEdit(this), QString("NetHost%1").arg(k));
        NetHost[i]->setAccessibleName(who + " address");
        NetHost[i]->setToolTip("UDP: the destination, a host name, an IPv4 address (also a broadcast such as "
                               "255.255.255.255 or a multicast group) or an IPv6 address. TCP: the address of this PC "
                               "to listen on, empty for all. MQTT: the broker.");
        NetHost[i]->setMaximumWidth(120);
        NetPort[i] = named(new QSpinBox(this), QString("NetPort%1").arg(k));
        NetPort[i]->setRange(1, 65535);
        NetPort[i]->setAccessibleName(who + " network port");
        NetPort[i]->setToolTip("UDP: the destination port. TCP: the port clients connect to. MQTT: the broker's port (1883).");
        NetTopic[i] = named(new QLineEdit(this), QString("NetTopic%1").arg(k));
        NetTopic[i]->setAccessibleName(who + " MQTT topic prefix");
        NetTopic[i]->setToolTip("MQTT: lines go to PREFIX/LOGGER/PORT, the status to PREFIX/status.");
        NetTopic[i]->setMaximumWidth(70);
        NetPcTime[i] = named(new QCheckBox("PC Time", this), QString("NetPcTime%1").arg(k));
        NetPcTime[i]->setAccessibleName(who + " PC time before each line");
        NetPcTime[i]->setToolTip("Begins each line with the PC time in UTC, YYYY-MM-DDThh:mm:ss.sssZ");
        NetValid[i] = named(new QCheckBox("Valid Only", this), QString("NetValid%1").arg(k));
        NetValid[i]->setAccessibleName(who + " holds back sentences with a wrong checksum");
        NetValid[i]->setToolTip("Holds back sentences whose checksum is wrong, and lines too long to check; "
                                "the figures count them.");
        NetFigures[i] = namedLabel(this, QString("NetFigures%1").arg(k), "Off");
        NetFigures[i]->setAccessibleName(who + " figures");
        tellState(NetFigures[i], NetFigures[i]->text());
        NetFigures[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        NetFigures[i]->setMinimumWidth(120);
        // A long error must not widen the page past the window; the tooltip holds all of it.
        NetFigures[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        OutputConfig initial;
        initial.port = 5001 + n;
        showConfig(n, initial);
        QWidget* row[] = {NetOn[i],   NetLogger[i], NetSection[i], NetProtocol[i], NetHost[i],
                          NetPort[i], NetTopic[i],  NetPcTime[i],  NetValid[i],    NetFigures[i]};
        for (int c = 0; c < int(std::size(row)); ++c) grid->addWidget(row[c], k, c);
    }
    grid->setColumnStretch(9, 1);
}

OutputConfig NetworkPanel::configOf(int row) const {
    const size_t i = size_t(row);
    OutputConfig s;
    s.logger = NetLogger[i]->value();
    s.section = NetSection[i]->value();
    s.protocol = Protocol(std::clamp(NetProtocol[i]->currentIndex(), 0, 2));
    std::string host = NetHost[i]->text().trimmed().toStdString();
    // "[::1]" as in the text forms, or "::1".
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    s.host = host;
    s.port = NetPort[i]->value();
    s.topic = NetTopic[i]->text().trimmed().toStdString();
    s.pcTime = NetPcTime[i]->isChecked();
    s.validOnly = NetValid[i]->isChecked();
    return s;
}

void NetworkPanel::showConfig(int row, const OutputConfig& s) {
    const size_t i = size_t(row);
    const QSignalBlocker b1(NetLogger[i]), b2(NetSection[i]), b3(NetProtocol[i]), b4(NetHost[i]), b5(NetPort[i]),
        b6(NetPcTime[i]), b7(NetTopic[i]), b8(NetValid[i]);
    NetLogger[i]->setValue(s.logger);
    NetSection[i]->setValue(s.section);
    NetProtocol[i]->setCurrentIndex(int(s.protocol));
    NetHost[i]->setText(QString::fromStdString(s.host));
    NetPort[i]->setValue(s.port);
    NetTopic[i]->setText(QString::fromStdString(s.topic));
    NetPcTime[i]->setChecked(s.pcTime);
    NetValid[i]->setChecked(s.validOnly);
    enableFor(row, s.protocol);
}

void NetworkPanel::enableFor(int row, Protocol protocol) {
    NetTopic[size_t(row)]->setEnabled(protocol == Protocol::Mqtt);
}

} // namespace cv::share
