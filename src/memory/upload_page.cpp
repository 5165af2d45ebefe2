#include "memory/upload_page.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "memory/run_directory.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
const char* const kVoltageText = "Voltage";
const char* const kGroupTitle = "Data Logger Run Directory";
const char* const kExtractTitle = "Extract File Types";

} // namespace

const char* const UploadPage::kCaption = "Upload Logger Data";

UploadPage::UploadPage(QWidget* parent) : QWidget(parent) {
    setObjectName("TSUpload");
    setWindowTitle(kCaption);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    GBUpload = named(new QGroupBox(kGroupTitle, this), "GBUpload");
    const QString header = QString::fromStdString(directoryHeadingText());
    LBHeader = named(new QLabel(header, GBUpload), "LBHeader");
    LBVoltage = named(new QLabel(kVoltageText, GBUpload), "LBVoltage");
    LBProfiles = named(new QListWidget(GBUpload), "LBProfiles");
    LBHeader->setFont(fixed);
    LBVoltage->setFont(fixed);
    LBProfiles->setFont(fixed);
    LBProfiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LBProfiles->setAccessibleName("Runs in the logger");
    LBProfiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    // The headings line up with the rows' characters: same font, same left edge as the item
    // text, and "Voltage" centred over the Start and End columns.
    const QFontMetrics fm(fixed);
    const int startCol = int(header.indexOf("Start"));
    const int endCol = int(header.indexOf("End")) + 3;
    const int voltageCol = (startCol + endCol) / 2 - int(QString::fromLatin1(kVoltageText).size()) / 2;
    const int textLeft = LBProfiles->frameWidth() + 2;
    LBHeader->setIndent(textLeft);
    LBVoltage->setIndent(textLeft + fm.horizontalAdvance(QString(voltageCol, QLatin1Char(' '))));

    auto* listLayout = new QVBoxLayout(GBUpload);
    listLayout->setSpacing(0);
    listLayout->addWidget(LBVoltage);
    listLayout->addWidget(LBHeader);
    listLayout->addSpacing(2);
    listLayout->addWidget(LBProfiles, 1);

    BTGetDirectory = named(new QPushButton("Get Logger Directory", this), "BTGetDirectory");
    BTUpload = named(new QPushButton("Upload Logger Data", this), "BTUpload");
    BTCancelUpload = named(new QPushButton("Cancel Upload", this), "BTCancelUpload");
    BTClearMemory = named(new QPushButton("Clear Logger Memory", this), "BTClearMemory");
    ExtractFilesRG = named(new RadioGroup(kExtractTitle, {"CV Archive", "CV Archive Plus Raw Files"}, this),
                           "ExtractFilesRG");
    BTExtract = named(new QPushButton("Parse Run Files", this), "BTExtract");
    UpLoadPB = named(new QProgressBar(this), "UpLoadPB");
    UpLoadPB->setRange(0, 100);
    UpLoadPB->setValue(0);
    UpLoadPB->setAccessibleName("Upload progress");
    UpLoadRun = named(new QLabel(this), "UpLoadRun");
    UpLoadSize = named(new QLabel(this), "UpLoadSize");
    CSError = named(new QLabel(this), "CSError");
    UpLoadResult = named(new QLabel(this), "UpLoadResult");
    UpLoadResult->setWordWrap(true);
    UpLoadResult->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // long folders must not widen the page
    UpLoadResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QGridLayout;
    buttons->addWidget(BTGetDirectory, 0, 0);
    buttons->addWidget(BTUpload, 0, 1);
    buttons->addWidget(BTCancelUpload, 1, 1);
    buttons->addWidget(BTClearMemory, 1, 0);
    buttons->setRowStretch(2, 1);

    auto* extract = new QVBoxLayout;
    extract->addWidget(ExtractFilesRG);
    extract->addWidget(BTExtract);
    extract->addStretch(1);

    auto* progress = new QVBoxLayout;
    progress->addWidget(UpLoadPB);
    progress->addWidget(UpLoadRun);
    progress->addWidget(UpLoadSize);
    progress->addWidget(CSError);
    progress->addWidget(UpLoadResult);
    progress->addStretch(1);

    auto* controls = new QHBoxLayout;
    controls->addLayout(buttons);
    controls->addSpacing(16);
    controls->addLayout(extract);
    controls->addSpacing(16);
    controls->addLayout(progress, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(GBUpload, 1);
    page->addLayout(controls);
}

} // namespace cv
