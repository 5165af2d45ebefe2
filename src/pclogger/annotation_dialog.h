#pragma once
// "Annotate Archive File": remarks and water-sample marks for the data being recorded. The
// dialog never holds up the window; a remark waits for the next PC logger record.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace cv {

class AnnotationQueue;
class WarningBox;

class TAnnotationForm : public QDialog {
    Q_OBJECT
public:
    // `stamp` gives the PC time stamp text a remark starts with.
    TAnnotationForm(QWidget* window, AnnotationQueue& queue, WarningBox& warnings, std::function<std::string()> stamp);

    // Shows the dialog centred on the window, on top, without waiting for it.
    void open();

    // Where a remark queued now ends up: the archive file being recorded, or nothing when no
    // recording runs (the remark then goes out with the PC logger data but no file keeps it).
    void setRecordingTarget(std::function<std::optional<std::string>()> target) { m_target = std::move(target); }
    // LBRecording says whether a recording runs and whether a remark will be stored.
    void showRecordingState();

    void BTStartClick();
    void BTEndClick();
    void BTSendClick();
    void BTResetClick();
    void UDNextClick();
    void BTCloseClick();

    QSpinBox* UDNext = nullptr;
    QLabel* LBNext = nullptr;
    QLineEdit* EDITAnnotation = nullptr;
    QLabel* lbx = nullptr;
    QLabel* LBAnnotation = nullptr;
    QLabel* AnnotateDANDT = nullptr;
    QLabel* LBRecording = nullptr;
    QPushButton* BTStart = nullptr;
    QPushButton* BTEnd = nullptr;
    QPushButton* BTReset = nullptr;
    QPushButton* BTSend = nullptr;
    QPushButton* BTClose = nullptr;

private:
    void queueRemark(const std::string& remark);
    void setNext(int value);

    AnnotationQueue& m_queue;
    WarningBox& m_warnings;
    std::function<std::string()> m_stamp;
    std::function<std::optional<std::string>()> m_target = [] { return std::nullopt; };
    int m_sample = 1;
};

} // namespace cv
