#pragma once
// "Network": up to eight outputs of the live stream, one row each: on/off, logger ID, logger
// port, UDP, TCP or MQTT, the address (destination, listening address or broker), the network
// port, the MQTT topic prefix, the PC time at each line, the checksum filter, and the output's
// figures.
#include <QGroupBox>
#include <array>

#include "share/network_output.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace cv::share {

class NetworkPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit NetworkPanel(QWidget* parent = nullptr);

    // Row n (0-based here): NetOn<n+1>, NetLogger<n+1>, ...
    std::array<QCheckBox*, kMaxOutputs> NetOn{};
    std::array<QSpinBox*, kMaxOutputs> NetLogger{};
    std::array<QSpinBox*, kMaxOutputs> NetSection{};
    std::array<QComboBox*, kMaxOutputs> NetProtocol{};
    std::array<QLineEdit*, kMaxOutputs> NetHost{};
    std::array<QSpinBox*, kMaxOutputs> NetPort{};
    std::array<QLineEdit*, kMaxOutputs> NetTopic{};
    std::array<QCheckBox*, kMaxOutputs> NetPcTime{};
    std::array<QCheckBox*, kMaxOutputs> NetValid{};
    std::array<QLabel*, kMaxOutputs> NetFigures{};

    OutputConfig configOf(int row) const;
    // Fills a row's controls without a change signal.
    void showConfig(int row, const OutputConfig& config);
    // The controls a protocol does not use are disabled.
    void enableFor(int row, Protocol protocol);
};

} // namespace cv::share
