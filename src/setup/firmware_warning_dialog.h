#pragma once
// TForm2 "WARNING!!!": a red, modeless notice that the logger's firmware is too old for this
// host. OK only hides it.
#include <QDialog>

class QLabel;
class QPushButton;

namespace cv {

class FirmwareWarningDialog : public QDialog {
    Q_OBJECT
public:
    explicit FirmwareWarningDialog(QWidget* parent = nullptr);

    void showWarning(const QString& text);  // sets the text and shows the window without blocking

    QLabel* WarningText = nullptr;
    QPushButton* OKButton = nullptr;
};

} // namespace cv
