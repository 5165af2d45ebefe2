#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "widgets/host_services.h"
#include "memory/upload_page.h"
#include "link/receiver.h"
#include "memory/upload_screen_qt.h"
#include "upload_rig.h"

namespace cv::test {
namespace {

// A stand-in for the main window: the Tabs with the upload page, the services and the timer.
struct PageFixture {
    TempDir dir;
    FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    CommandRecorder sink;
    FakeClock clock;
    LoggerRecords records;
    LoggerFacts facts;
    MenuItems menu;  // none: the page is tested without the window's menus
    HostServices services{sink, warnings, dialogs, clock, records, facts, menu, [] {}};
    FakeSerialFactory serial;
    PortSlotTable ports{serial, dialogs};
    PacketReceiver receiver{ports, records};
    std::vector<ExtractCall> extractions;
    std::vector<bool> timeoutSwitches;
    QMainWindow window;
    QTabWidget* tabs;
    UploadPage* page;
    std::unique_ptr<UploadScreen> screen;

    PageFixture() {
        tabs = new QTabWidget(&window);
        tabs->setObjectName("Tabs");
        window.setCentralWidget(tabs);
        screen = std::make_unique<UploadScreen>(
            &window, services, receiver, [this](bool on) { timeoutSwitches.push_back(on); },
            [this](const std::filesystem::path& p, int choice, WarningSink&, const std::function<void(int)>&) {
                extractions.push_back({p, choice, readFile(p)});
                return ExtractionResult{};
            });
        page = screen->page();
        tabs->addTab(page, page->windowTitle());
    }

    void entry(int16_t run, uint32_t size) {
        records.directoryEntry = entryPacket(run, size);
        screen->onDirectoryEntry();
    }
    void block(uint16_t number, int16_t count, const std::vector<uint8_t>& data = {}, size_t from = 0) {
        records.uploadBlock = uploadBlock(number, count, data, from);
        screen->onUploadBlock();
        screen->session().finishFileWork();
    }
    // The one-second step, and what the file lane does for it.
    void second() {
        screen->secondTick();
        screen->session().finishFileWork();
    }
    QString label(const char* name) { return window.findChild<QLabel*>(name)->text(); }
};

TEST(UploadPage, ShowsItsControlsWithTheirTexts) {
    PageFixture f;
    EXPECT_EQ(f.page->objectName(), "TSUpload");
    EXPECT_EQ(f.tabs->tabText(0), "Upload Logger Data");
    EXPECT_EQ(f.page->GBUpload->title(), "Data Logger Run Directory");
    EXPECT_EQ(f.page->LBHeader->text(), QString::fromStdString(directoryHeadingText()));
    EXPECT_EQ(f.page->LBVoltage->text(), "Voltage");
    EXPECT_EQ(f.page->BTGetDirectory->text(), "Get Logger Directory");
    EXPECT_EQ(f.page->BTUpload->text(), "Upload Logger Data");
    EXPECT_EQ(f.page->BTCancelUpload->text(), "Cancel Upload");
    EXPECT_EQ(f.page->BTClearMemory->text(), "Clear Logger Memory");
    EXPECT_EQ(f.page->BTExtract->text(), "Parse Run Files");
    EXPECT_EQ(f.page->ExtractFilesRG->title(), "Extract File Types");
    ASSERT_EQ(f.page->ExtractFilesRG->count(), 2);
    EXPECT_EQ(f.page->ExtractFilesRG->item(0)->text(), "CV Archive");
    EXPECT_EQ(f.page->ExtractFilesRG->item(1)->text(), "CV Archive Plus Raw Files");
    EXPECT_EQ(f.page->LBProfiles->selectionMode(), QAbstractItemView::ExtendedSelection);
    for (QWidget* w : std::initializer_list<QWidget*>{f.page->LBProfiles, f.page->LBHeader, f.page->LBVoltage}) {
        const QFontMetrics fm(w->font());  // rows line up only when every character is as wide
        EXPECT_EQ(fm.horizontalAdvance("iiiii"), fm.horizontalAdvance("WWWWW")) << w->objectName().toStdString();
        EXPECT_EQ(fm.horizontalAdvance("     "), fm.horizontalAdvance("00000")) << w->objectName().toStdString();
    }
}

TEST(UploadPage, ExtractChoiceStartsUnchosenAndCanBeSetAndCleared) {
    PageFixture f;
    RadioGroup* rg = f.page->ExtractFilesRG;
    EXPECT_EQ(rg->itemIndex(), -1);
    rg->item(1)->click();
    EXPECT_EQ(rg->property("itemIndex").toInt(), 1);
    rg->setProperty("itemIndex", 0);
    EXPECT_EQ(rg->itemIndex(), 0);
    EXPECT_TRUE(rg->item(0)->isChecked());
    rg->setItemIndex(-1);
    EXPECT_EQ(rg->itemIndex(), -1);
    EXPECT_FALSE(rg->item(0)->isChecked());
}

TEST(UploadPage, GetDirectoryOutsideStandbyIsRefused) {
    PageFixture f;
    f.facts.state = 2;
    f.facts.deviceName = "KR-8";
    f.entry(3, 100);
    f.page->BTGetDirectory->click();
    EXPECT_TRUE(f.sink.packets.empty());
    EXPECT_TRUE(f.dialogs.saw("Directory Error", "The KR-8 Must be in Standby before the Directory can be Retrieved"));
    EXPECT_EQ(f.page->LBProfiles->count(), 1);
}

TEST(UploadPage, UploadsSelectedRunsIntoTheChosenFolder) {
    PageFixture f;
    f.facts.state = 9;
    f.entry(99, 100);  // an old row, gone with the next directory read
    f.page->BTGetDirectory->click();
    ASSERT_EQ(f.sink.packets.size(), 1u);
    EXPECT_EQ(f.sink.last(), bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
    EXPECT_EQ(f.page->LBProfiles->count(), 0);

    const auto run1 = runBytes(1500, 4), run3 = runBytes(2600, 8);
    f.entry(1, 1500);
    f.entry(2, 700);
    f.entry(3, 2600);
    ASSERT_EQ(f.page->LBProfiles->count(), 3);
    EXPECT_TRUE(f.page->LBProfiles->item(2)->text().startsWith(" 003     PROF  "));
    EXPECT_EQ(f.label("CSError"), "Run Number: 3");

    f.page->LBProfiles->item(0)->setSelected(true);
    f.page->LBProfiles->item(2)->setSelected(true);
    f.page->ExtractFilesRG->item(1)->click();
    f.dialogs.fileAnswers.push_back((f.dir.path() / "run.xxx").string());
    f.page->BTUpload->click();
    EXPECT_EQ(f.screen->runsRemaining(), 2);

    f.second();
    ASSERT_EQ(f.timeoutSwitches, std::vector<bool>{true});
    EXPECT_EQ(f.page->UpLoadPB->maximum(), 1500);
    f.block(1, 1024, run1, 0);
    EXPECT_EQ(f.label("UpLoadRun"), "run.001");
    EXPECT_EQ(f.label("UpLoadSize"), "File Size:  1 K");
    EXPECT_EQ(f.label("CSError"), "Duplicate Packets:  0");
    EXPECT_EQ(f.page->UpLoadPB->value(), 1024);
    f.block(2, 476, run1, 1024);
    f.block(3, 0);
    EXPECT_EQ(f.timeoutSwitches.back(), false);

    f.second();
    EXPECT_EQ(f.page->UpLoadPB->maximum(), 2600);
    f.block(1, 1024, run3, 0);
    f.block(2, 1024, run3, 1024);
    f.block(3, 552, run3, 2048);
    EXPECT_EQ(f.label("UpLoadSize"), "File Size:  2 K");
    f.block(4, 0);

    EXPECT_EQ(readFile(f.dir.path() / "run.001"), run1);
    EXPECT_EQ(readFile(f.dir.path() / "run.003"), run3);
    EXPECT_FALSE(std::filesystem::exists(f.dir.path() / "run.002"));
    ASSERT_EQ(f.extractions.size(), 2u);
    EXPECT_EQ(f.extractions[1].path, f.dir.path() / "run.003");
    EXPECT_EQ(f.extractions[1].choice, 1);
    EXPECT_EQ(f.label("UpLoadRun"), "Upload is Complete");
    EXPECT_EQ(f.label("UpLoadResult"), QString::fromStdString("Runs written to " + f.dir.path().string() + ": run.001, run.003"));
    EXPECT_EQ(f.screen->runsRemaining(), 0);
    EXPECT_TRUE(f.dialogs.boxes.empty());
}

TEST(UploadPage, CancelAndClearMemory) {
    PageFixture f;
    f.page->BTCancelUpload->click();
    EXPECT_TRUE(f.screen->session().cancelRequested());
    f.entry(1, 100);
    f.entry(2, 100);
    f.page->BTClearMemory->click();
    EXPECT_EQ(f.page->LBProfiles->count(), 0);
    EXPECT_EQ(f.sink.countOf(cmd::kClearMemory), 1);
}

TEST(UploadPage, ParseRunFilesExtractsThePickedFile) {
    PageFixture f;
    f.page->ExtractFilesRG->setItemIndex(1);
    f.dialogs.fileAnswers.push_back((f.dir.path() / "run.010").string());
    f.page->BTExtract->click();
    f.screen->session().finishFileWork();
    ASSERT_EQ(f.extractions.size(), 1u);
    EXPECT_EQ(f.extractions[0].path, f.dir.path() / "run.010");
    EXPECT_EQ(f.extractions[0].choice, 1);
}

TEST(UploadPage, FitsAt1280x800WithNothingClipped) {
    PageFixture f;
    f.entry(1, 5000000);
    f.window.resize(1280, 800);
    f.window.show();
    QApplication::processEvents();
    for (QWidget* w : std::initializer_list<QWidget*>{f.page->BTGetDirectory, f.page->BTUpload, f.page->BTCancelUpload,
                                                       f.page->BTClearMemory, f.page->BTExtract, f.page->ExtractFilesRG,
                                                       f.page->LBHeader, f.page->LBVoltage}) {
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
    }
    EXPECT_GE(f.page->LBProfiles->height(), 200);
    // "Voltage" stands over the Start and End headings.
    const QFontMetrics fm(f.page->LBHeader->font());
    const int startX = f.page->LBHeader->indent() + fm.horizontalAdvance(f.page->LBHeader->text().left(int(f.page->LBHeader->text().indexOf("Start"))));
    const int voltageX = f.page->LBVoltage->indent();
    EXPECT_GE(voltageX, startX);
    EXPECT_LE(voltageX + fm.horizontalAdvance("Voltage"), startX + fm.horizontalAdvance("Start    End"));
    if (const char* shot = std::getenv("CVHOST_UPLOAD_SCREENSHOT")) f.window.grab().save(shot);
}

} // namespace
} // namespace cv::test
