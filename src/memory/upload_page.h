#pragma once
// The "Upload Logger Data" tab page: the run list with its column headings, the directory,
// upload, cancel and clear buttons, the extraction choice and the upload progress.
#include <QGroupBox>
#include <QWidget>

class QButtonGroup;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace cv {

// A titled group of exclusive choices whose chosen item is an index, -1 while none is chosen.
// Other screens reach the index through the "itemIndex" property.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);  // -1 (or any index out of range) chooses none
    QRadioButton* item(int index) const;
    int count() const;

private:
    QButtonGroup* m_group;
};

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
};

} // namespace cv
