#pragma once
// The Port Map window: which device each COM number opens, the serial devices present, and a
// new choice taken at once (and kept in the map file), so an adapter plugged in while the
// program runs is used without a restart. It does not hold up the other windows.
#include <QDialog>
#include <array>
#include <filesystem>

#include "link/port_map.h"
#include "link/port_slots.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace cv {

class PortMapDialog : public QDialog {
    Q_OBJECT
public:
    PortMapDialog(QWidget* parent, PortMap& map, const PortSlotTable& ports);

    // Where the present devices are looked for; tests use a temporary folder with fake ones.
    void setDeviceRoot(std::filesystem::path root) { m_root = std::move(root); }
    // Lists the devices present, the map and the ports in use again.
    void refresh();
    // Maps COM n to `device` (empty: unmapped) as a choice in the window does.
    void chooseDevice(int comNumber, const QString& device);
    // The Status column again: which ports are open on each COM number and which are lost.
    void showPortsInUse();

    QComboBox* deviceBox(int comNumber) const { return m_devices.at(size_t(comNumber - 1)); }

signals:
    // COM n opens another device now; whatever is open on it is to be opened again.
    void remapped(int comNumber);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void fillDeviceBox(int comNumber, const std::vector<PresentDevice>& present);
    std::string mappedDevice(int comNumber) const;

    PortMap& m_map;
    const PortSlotTable& m_ports;
    std::filesystem::path m_root = "/";
    std::array<QComboBox*, kMaxComNumber> m_devices{};
    std::array<QLabel*, kMaxComNumber> m_inUse{};
    QTreeWidget* m_present = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace cv
