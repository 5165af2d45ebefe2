#pragma once
// The "Upload Logger Data" tab page: the run list with its column headings, the directory,
// upload, cancel and clear buttons, the extraction choice and the upload progress.
#include <QGroupBox>
#include <QWidget>

#include "widgets/radio_group.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace cv {

class UploadPage : public QWidget {
    Q_OBJECT

public:
    explicit UploadPage(QWidget* parent = nullptr);

    static const char* const kCaption;

    QGroupBox* GBUpload;
    QLabel* LBVoltage;
    QLabel* LBHeader;
    QListWidget* LBProfiles;
    QPushButton* BTGetDirectory;
    QPushButton* BTUpload;
    QPushButton* BTCancelUpload;
    QPushButton* BTClearMemory;
    RadioGroup* ExtractFilesRG;
    QPushButton* BTExtract;
    QProgressBar* UpLoadPB;
    QLabel* UpLoadRun;
    QLabel* UpLoadSize;
    QLabel* CSError;
    QLabel* UpLoadResult;  // where the last upload or extraction put its files
};

} // namespace cv
