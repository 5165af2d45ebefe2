#pragma once
// Connects the Upload Logger Data page to the run directory and the upload: button handlers,
// the receiver's hand-overs and the timer ticks the main window passes on.
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

#include "extract/run_extraction.h"

#include "memory/logger_memory_commands.h"
#include "memory/on_demand_extraction.h"
#include "memory/run_directory.h"
#include "memory/upload_session.h"
#include "memory/upload_view.h"
#include "protocol/host_setup_part.h"
#include "protocol/logger_identity_state.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QWidget;

namespace cv {

struct HostServices;
class PacketReceiver;
class RadioGroup;
class UploadPage;
class WarningSink;

class UploadScreen : public QObject, public HostSetupPart, private UploadView {
    Q_OBJECT

public:
    // Builds the Upload Logger Data page under `mainWindow` and connects the "Write Debug File"
    // menu item the window made. setTimeoutEnabled starts or stops the window's TTimeout timer.
    // A finished run is extracted by `extract`, or, without one, into files next to it.
    UploadScreen(QWidget* mainWindow, HostServices& services, const PacketReceiver& receiver,
                 std::function<void(bool)> setTimeoutEnabled, ExtractRunFile extract = {});
    ~UploadScreen() override;

    void onDirectoryEntry();  // a type-5 packet is in services.records.directoryEntry
    void onUploadBlock();     // a type-4 packet is in services.records.uploadBlock
    void secondTick();        // upload scheduling of the 1000 ms timer
    void timeoutTick();       // TTimeout
    // Another logger answers the line: the runs listed were the old one's.
    void followLoggerIdentity(LoggerIdentityState state);
    // The logger's device name on the directory and memory buttons.
    void setDeviceCaptions(const QString& clearMemory, const QString& getDirectory);
    UploadPage* page() const { return m_page; }
    // Host setup file: the extraction choice (line 13, first value).
    void writeHostSetupLine(int number, std::vector<int>& values) const override;
    void applyHostSetupLine(int number, const std::vector<int>& values, const HostSetupLoad& load) override;
    bool debugListing() const { return m_debugListing; }
    int runsRemaining() const { return m_session.runsRemaining(); }

    UploadSession& session() { return m_session; }
    const RunDirectory& directory() const { return m_directory; }

public slots:
    void BTGetDirectoryClick();
    void BTUploadClick();
    void BTCancelUploadClick();
    void BTClearMemoryClick();
    void BTExtractClick();
    void ToggleDebugClick();

private:
    void setProgressMaximum(long maximum) override;
    void setProgressPosition(long position) override;
    void setUploadRunText(const std::string& text) override;
    void setUploadSizeText(const std::string& text) override;
    void setTimeLeftText(const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setResultText(const std::string& text) override;
    void setTimeoutEnabled(bool enabled) override;
    void appendRow(const std::string& text) override;
    void clearRows() override;

    ExtractionResult extractRunFile(const std::filesystem::path& file, int choice, WarningSink& warnings,
                                    const std::function<void(int)>& progress);
    // What the file lane has done: shown and acted on here, on the window's thread.
    void collectFileWork();

    HostServices& m_services;
    const PacketReceiver& m_receiver;
    UploadPage* m_page;
    std::function<void(bool)> m_setTimeoutEnabled;
    QListWidget* m_profiles;
    QProgressBar* m_progress;
    QLabel* m_uploadRun;
    QLabel* m_uploadSize;
    QLabel* m_status;
    QLabel* m_result;
    RadioGroup* m_extractChoice;
    ExtractionState m_extraction;  // used by the extractions on the file lane, one at a time
    std::atomic<bool> m_debugListing = false;
    ExtractRunFile m_extractRun;
    RunDirectory m_directory;
    UploadSession m_session;
    LoggerMemoryCommands m_memoryCommands;
    OnDemandExtraction m_onDemandExtraction;
};

} // namespace cv
