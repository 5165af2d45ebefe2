#pragma once
// The recording tab page: start buttons for the three kinds of archive, replay once or round
// and round with its speed, Stop, and the record status group.
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace cv {

class RecordPage : public QWidget {
    Q_OBJECT

public:
    explicit RecordPage(QWidget* parent = nullptr);

    QPushButton* BTRecordArchive = nullptr;
    QPushButton* BTRecord1Hour = nullptr;
    QPushButton* BTRecord1Day = nullptr;
    QPushButton* BTStopRecord = nullptr;
    QPushButton* ReplayArchiveBT = nullptr;
    QPushButton* ReplayContinuousBT = nullptr;
    QSpinBox* ReplaySpeedUD = nullptr;
    QLineEdit* ReplaySpeedEdit = nullptr;
    QLabel* ReplaySpeedLB1 = nullptr;
    QLabel* ReplaySpeedLB2 = nullptr;
    QGroupBox* GBRecording = nullptr;
    QLabel* LBRecordStatus = nullptr;
    QLabel* LBArchiveFileName = nullptr;
    QLabel* LBArchiveFileSize = nullptr;
};

} // namespace cv
