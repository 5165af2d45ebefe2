#pragma once
// TSleepForm "Sleep Options": puts a moored logger to sleep until an entered date and time.
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cv {

struct HostServices;

class SleepDialog : public QDialog {
    Q_OBJECT
public:
    explicit SleepDialog(HostServices& services, QWidget* parent = nullptr);

    void showHostClock(const QString& time, const QString& date);    // HostTime, HostDate
    void showLoggerClock(const QString& time, const QString& date);  // SleepTime, SleepDate

    void SleepButtonClick();
    void CancelButtonClick();

    QLabel* HostTime = nullptr;
    QLabel* HostDate = nullptr;
    QLabel* SleepTime = nullptr;
    QLabel* SleepDate = nullptr;
    QGroupBox* MooredSleepGB = nullptr;
    QLineEdit* METime = nullptr;
    QLineEdit* MEDate = nullptr;
    QLabel* warninglabel = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* SleepButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    HostServices& m_services;
};

} // namespace cv
