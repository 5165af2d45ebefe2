#pragma once
// Connects the Upload Logger Data page to the run directory and the upload: button handlers,
// the receiver's hand-overs and the timer ticks the main window passes on.
#include <QObject>
#include <functional>

#include "memory/run_directory.h"
#include "memory/upload_session.h"
#include "memory/upload_view.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;

namespace cv {

struct HostServices;
class RadioGroup;

class UploadScreen : public QObject, private UploadView {
    Q_OBJECT

public:
    // setTimeoutEnabled starts or stops the main window's TTimeout timer.
    UploadScreen(QWidget* mainWindow, HostServices& services, ExtractRunFile extract,
                 std::function<void(bool)> setTimeoutEnabled);
    ~UploadScreen() override;

    void onDirectoryEntry();  // a type-5 packet is in services.records.directoryEntry
    void onUploadBlock();     // a type-4 packet is in services.records.uploadBlock
    void secondTick();        // upload scheduling of the 1000 ms timer
    void timeoutTick();       // TTimeout
    void clearRunList();      // the page became the current tab
    int runsRemaining() const { return m_session.runsRemaining(); }

    UploadSession& session() { return m_session; }
    const RunDirectory& directory() const { return m_directory; }

public slots:
    void BTGetDirectoryClick();
    void BTUploadClick();
    void BTCancelUploadClick();
    void BTClearMemoryClick();
    void BTExtractClick();

private:
    void setProgressMaximum(long maximum) override;
    void setProgressPosition(long position) override;
    void setUploadRunText(const std::string& text) override;
    void setUploadSizeText(const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setTimeoutEnabled(bool enabled) override;
    void appendRow(const std::string& text) override;
    void clearRows() override;

    HostServices& m_services;
    std::function<void(bool)> m_setTimeoutEnabled;
    QListWidget* m_profiles;
    QProgressBar* m_progress;
    QLabel* m_uploadRun;
    QLabel* m_uploadSize;
    QLabel* m_status;
    RadioGroup* m_extractChoice;
    RunDirectory m_directory;
    UploadSession m_session;
};

} // namespace cv
