#pragma once
// The Polled-Wake and Polled-Sleep buttons of the Real Time Data tab (Button3, Button4). The
// setup screen shows them only while the operating mode is "Polled Moored Mode".
#include <QWidget>

class QPushButton;

namespace cv {

class PolledButtonsWidget : public QWidget {
    Q_OBJECT
public:
    explicit PolledButtonsWidget(QWidget* parent = nullptr);

    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
};

} // namespace cv
