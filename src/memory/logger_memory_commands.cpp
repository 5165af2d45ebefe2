#include "memory/logger_memory_commands.h"

#include "base/logger_codes.h"
#include "base/text_format.h"
#include "protocol/commands.h"
#include "memory/run_directory.h"
#include "memory/upload_session.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace {
const char* const kDirectoryErrorTitle = "Directory Error";
const char* const kNotInStandbyFormat = "The %s Must be in Standby before the Directory can be Retrieved";
const char* const kClearTitle = "Clear Memory";
const char* const kClearQuestion = "Are you sure you want to clear the flash memory?";
const char* const kClearedTitle = "**** WARNING ****";
const char* const kClearedText = "The status must return to Standby before removing power or any other action is taken";
constexpr uint16_t kClearMemoryArgument = 1;
} // namespace

void LoggerMemoryCommands::getDirectory(int loggerState, const std::string& deviceName) {
    m_directory.clearWarned();
    if (m_upload.refuseWhileUploading()) return;
    if (loggerState != loggerstate::kStandby && loggerState != loggerstate::kEndOfRun) {
        m_warnings.show(kDirectoryErrorTitle, format(kNotInStandbyFormat, deviceName.c_str()));
        return;
    }
    if (!m_commands.sendCommand(cmd::kGetDirectory)) return;
    m_upload.resetDirectory();
    m_directory.clearRows();
}

void LoggerMemoryCommands::clearMemory() {
    // Erasing the logger now would destroy the queued runs that have not come home yet.
    if (m_upload.refuseWhileUploading()) return;
    if (m_dialogs.ask(kClearTitle, kClearQuestion, Buttons::YesNo, Icon::Exclamation, Answer::No) != Answer::Yes) return;
    if (!m_commands.sendCommand(cmd::kClearMemory, kClearMemoryArgument, 0)) return;
    m_directory.clearRows();
    m_warnings.show(kClearedTitle, kClearedText);
}

} // namespace cv
