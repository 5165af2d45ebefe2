#include "share/network_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include "widgets/widget_helpers.h"

namespace cv::share {

NetworkPanel::NetworkPanel(QWidget* parent) : QGroupBox("Network", parent) {
    setObjectName("NetworkGB");
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(2);
    const char* headings[] = {"Output", "Logger ID", "Logger Port", "Protocol", "Address", "Net Port", "", "Lines sent, clients, dropped"};
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
        NetProtocol[i]->addItems({"UDP", "TCP"});
        NetProtocol[i]->setToolTip("UDP: one datagram a line to the address. TCP: the stream to every client that connects.");
        NetHost[i] = named(new QLineEdit(this), QString("NetHost%1").arg(k));
        NetHost[i]->setAccessibleName(who + " address");
        NetHost[i]->setToolTip("UDP destination: an IPv4 address, a broadcast (255.255.255.255) or a multicast group.");
        NetHost[i]->setMaximumWidth(120);
        NetPort[i] = named(new QSpinBox(this), QString("NetPort%1").arg(k));
        NetPort[i]->setRange(1, 65535);
        NetPort[i]->setAccessibleName(who + " network port");
        NetPort[i]->setToolTip("UDP: the destination port. TCP: the port clients connect to.");
        NetPcTime[i] = named(new QCheckBox("PC Time", this), QString("NetPcTime%1").arg(k));
        NetPcTime[i]->setAccessibleName(who + " PC time before each line");
        NetPcTime[i]->setToolTip("Begins each line with the PC time, YYYY-MM-DDThh:mm:ss.sss");
        NetFigures[i] = namedLabel(this, QString("NetFigures%1").arg(k), "Off");
        NetFigures[i]->setAccessibleName(who + " figures");
        tellState(NetFigures[i], NetFigures[i]->text());
        NetFigures[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        NetFigures[i]->setMinimumWidth(120);
        // A long error must not widen the page past the window; the tooltip holds all of it.
        NetFigures[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        showConfig(n, OutputConfig{2, 1, Protocol::Udp, "127.0.0.1", 5001 + n, false});
        QWidget* row[] = {NetOn[i], NetLogger[i], NetSection[i], NetProtocol[i], NetHost[i], NetPort[i], NetPcTime[i], NetFigures[i]};
        for (int c = 0; c < int(std::size(row)); ++c) grid->addWidget(row[c], k, c);
    }
    grid->setColumnStretch(7, 1);
}

OutputConfig NetworkPanel::configOf(int row) const {
    const size_t i = size_t(row);
    OutputConfig s;
    s.logger = NetLogger[i]->value();
    s.section = NetSection[i]->value();
    s.protocol = NetProtocol[i]->currentIndex() == 1 ? Protocol::Tcp : Protocol::Udp;
    s.host = NetHost[i]->text().trimmed().toStdString();
    s.port = NetPort[i]->value();
    s.pcTime = NetPcTime[i]->isChecked();
    return s;
}

void NetworkPanel::showConfig(int row, const OutputConfig& s) {
    const size_t i = size_t(row);
    const QSignalBlocker b1(NetLogger[i]), b2(NetSection[i]), b3(NetProtocol[i]), b4(NetHost[i]), b5(NetPort[i]),
        b6(NetPcTime[i]);
    NetLogger[i]->setValue(s.logger);
    NetSection[i]->setValue(s.section);
    NetProtocol[i]->setCurrentIndex(s.protocol == Protocol::Tcp ? 1 : 0);
    NetHost[i]->setText(QString::fromStdString(s.host));
    NetHost[i]->setEnabled(s.protocol == Protocol::Udp);
    NetPort[i]->setValue(s.port);
    NetPcTime[i]->setChecked(s.pcTime);
}

} // namespace cv::share
