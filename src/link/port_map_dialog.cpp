#include "link/port_map_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/text_format.h"
#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
QString slotName(int slot) {
    if (slot == kLoggerSlot) return "Logger port";
    if (slot <= 8) return QString("PC-Logger line %1").arg(slot);
    return QString("Port slot %1").arg(slot);
}
} // namespace

PortMapDialog::PortMapDialog(QWidget* parent, PortMap& map, const PortSlotTable& ports)
    : QDialog(parent), m_map(map), m_ports(ports) {
    setObjectName("PortMapDialog");
    setWindowTitle("Port Map");
    setModal(false);

    auto* intro = new QLabel(
        "Each COM number opens the device beside it. Choose a device from the list, or type a path and "
        "press Enter: a port open on that COM number moves to the new device at once, and the choice is "
        "kept in comports.cfg.",
        this);
    intro->setWordWrap(true);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("<b>COM</b>", this), 0, 0);
    grid->addWidget(new QLabel("<b>Device</b>", this), 0, 1);
    grid->addWidget(new QLabel("<b>Status</b>", this), 0, 2);
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const size_t i = size_t(n - 1);
        auto* box = named(new QComboBox(this), QString("ComDevice%1").arg(n));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(44);
        box->setAccessibleName(QString("COM%1 device").arg(n));
        auto* label = new QLabel(QString("COM%1").arg(n), this);
        label->setBuddy(box);
        auto* inUse = namedLabel(this, QString("ComStatus%1").arg(n));
        inUse->setMinimumWidth(130);
        grid->addWidget(label, n, 0);
        grid->addWidget(box, n, 1);
        grid->addWidget(inUse, n, 2);
        m_devices[i] = box;
        m_inUse[i] = inUse;
        connect(box, &QComboBox::activated, this, [this, n, box](int index) {
            chooseDevice(n, box->itemData(index).toString());
        });
        connect(box->lineEdit(), &QLineEdit::returnPressed, this, [this, n, box] {
            const QString typed = box->currentText().trimmed();
            const int item = box->findText(typed);
            chooseDevice(n, item >= 0 ? box->itemData(item).toString() : typed);
        });
    }
    grid->setColumnStretch(1, 1);

    m_present = named(new QTreeWidget(this), "PresentDevices");
    m_present->setColumnCount(2);
    m_present->setHeaderLabels({"Device", "Points to"});
    m_present->setRootIsDecorated(false);
    m_present->setAccessibleName("Serial devices present");
    m_present->setMinimumHeight(110);
    m_present->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_present->header()->setStretchLastSection(false);
    auto* presentLabel = new QLabel("Serial devices present", this);
    presentLabel->setBuddy(m_present);

    m_status = namedLabel(this, "PortMapStatus");
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_refresh = named(new QPushButton("&Refresh", this), "RefreshDevices");
    m_refresh->setAccessibleName("Refresh the list of devices");
    m_refresh->setAutoDefault(false);
    m_close = named(new QPushButton("Close", this), "ClosePortMap");
    m_close->setAccessibleName("Close the port map");
    m_close->setAutoDefault(false);
    connect(m_refresh, &QPushButton::clicked, this, &PortMapDialog::refresh);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_refresh);
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto* page = new QVBoxLayout(this);
    page->addWidget(intro);
    page->addLayout(grid);
    page->addSpacing(8);
    page->addWidget(presentLabel);
    page->addWidget(m_present, 1);
    page->addWidget(m_status);
    page->addLayout(buttons);
}

void PortMapDialog::showEvent(QShowEvent* e) {
    // A device plugged in since the window was last open is there to choose.
    refresh();
    QDialog::showEvent(e);
}

std::string PortMapDialog::mappedDevice(int comNumber) const {
    return m_map.isMapped(comNumber) ? m_map.deviceFor(comNumber) : std::string();
}

void PortMapDialog::refresh() {
    const std::vector<PresentDevice> present = presentSerialDevices(m_root);
    m_present->clear();
    for (const PresentDevice& d : present)
        new QTreeWidgetItem(m_present, {qs(d.path), qs(d.target)});
    if (present.empty()) new QTreeWidgetItem(m_present, {"No serial adapter found", QString()});
    m_present->resizeColumnToContents(1);
    for (int n = 1; n <= kMaxComNumber; ++n) fillDeviceBox(n, present);
    showPortsInUse();
}

void PortMapDialog::fillDeviceBox(int n, const std::vector<PresentDevice>& present) {
    QComboBox* box = deviceBox(n);
    const std::string mapped = mappedDevice(n);
    box->clear();
    PortMap unmapped;
    const QString fallback = qs(unmapped.deviceFor(n));
    box->addItem("Not mapped: " + fallback, QString());
    bool mappedListed = mapped.empty();
    for (const PresentDevice& d : present) {
        box->addItem(d.target.empty() ? qs(d.path) : qs(d.path + "  \u2192  " + d.target), qs(d.path));
        mappedListed = mappedListed || d.path == mapped;
    }
    std::error_code ec;
    if (!mappedListed)
        box->addItem(qs(mapped) + (std::filesystem::exists(mapped, ec) ? "" : "  (missing)"), qs(mapped));
    box->setCurrentIndex(-1);
    box->lineEdit()->setPlaceholderText(fallback + " (not mapped)");
    box->setEditText(qs(mapped));
    box->setToolTip(mapped.empty() ? fallback + " (not mapped)" : qs(mapped));
}

void PortMapDialog::showPortsInUse() {
    for (int n = 1; n <= kMaxComNumber; ++n) {
        QStringList uses;
        for (int slot = 0; slot < kPortSlots; ++slot) {
            if (m_ports.openComNumber(slot) != n) continue;
            uses << slotName(slot) + (m_ports.isPortLost(slot) ? " (lost)" : "");
        }
#ifndef _WIN32
        std::error_code ec;
        const std::string mapped = mappedDevice(n);
        if (!mapped.empty() && !std::filesystem::exists(mapped, ec)) uses << "Device not present";
#endif
        m_inUse[size_t(n - 1)]->setText(uses.join(", "));
    }
}

void PortMapDialog::chooseDevice(int n, const QString& device) {
    if (n < 1 || n > kMaxComNumber) return;
    const std::string chosen = device.trimmed().toStdString();
    if (chosen == mappedDevice(n)) {
        deviceBox(n)->setEditText(qs(chosen));
        return;
    }
    std::string error;
    const bool kept = m_map.remap(n, chosen, &error);
    const bool changed = mappedDevice(n) == chosen;
    QString text;
    if (changed) {
        text = chosen.empty() ? QString("COM%1 is not mapped now and opens %2").arg(n).arg(qs(m_map.deviceFor(n)))
                              : QString("COM%1 now opens %2").arg(n).arg(qs(chosen));
        if (!kept) text += " for this session only: " + qs(error);
        else if (!m_map.file().empty()) text += " (kept in " + qs(m_map.file().string()) + ")";
        text += ".";
    } else {
        text = QString("COM%1 was left as it was: %2.").arg(n).arg(qs(error));
    }
    m_status->setText(text);
    QPalette shade = palette();
    if (!kept) shade.setColor(QPalette::WindowText, kRed);
    m_status->setPalette(shade);
    if (changed) emit remapped(n);
    // Whatever was open on it has been opened again by now.
    fillDeviceBox(n, presentSerialDevices(m_root));
    showPortsInUse();
}

} // namespace cv
