#pragma once
// The operator's commands to the logger memory besides the upload: reading the run directory and
// clearing the memory. Both wait until no queued run is left in the logger.
#include <string>

namespace cv {

class CommandSink;
class OperatorDialogs;
class RunDirectory;
class UploadSession;
class WarningBox;

class LoggerMemoryCommands {
public:
    LoggerMemoryCommands(UploadSession& upload, RunDirectory& directory, CommandSink& commands, WarningBox& warnings,
                         OperatorDialogs& dialogs)
        : m_upload(upload), m_directory(directory), m_commands(commands), m_warnings(warnings), m_dialogs(dialogs) {}

    // Get Logger Directory, with the logger state and kind name the status display keeps.
    void getDirectory(int loggerState, const std::string& deviceName);
    // Clear Logger Memory, after the operator's confirmation.
    void clearMemory();

private:
    UploadSession& m_upload;
    RunDirectory& m_directory;
    CommandSink& m_commands;
    WarningBox& m_warnings;
    OperatorDialogs& m_dialogs;
};

} // namespace cv
