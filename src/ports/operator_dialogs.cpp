#include "ports/operator_dialogs.h"

#include "base/logger_codes.h"
#include "base/text_format.h"

namespace cv {

void WarningBox::show(const std::string& title, const std::string& text) {
    if (*m_open >= kMaxOpen) return;
    ++*m_open;
    m_dialogs.beep(Icon::Exclamation);
    m_dialogs.inform(title, text, Icon::Exclamation, [open = m_open] { --*open; });
}

bool mayReplaceFile(OperatorDialogs& dialogs, const std::string& caption, const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    dialogs.beep(Icon::Question);
    return dialogs.ask(caption, format("File %s Exists ... Overwrite ?", file.string().c_str()), Buttons::YesNo,
                       Icon::Question, Answer::No) == Answer::Yes;
}

const char* const kSendWhileSamplingText =
    "The logger is sampling: a new setup changes the running cast. Send anyway?";

bool maySendWhileSampling(OperatorDialogs& dialogs, int loggerState, const std::string& caption) {
    if (loggerState != loggerstate::kSampling) return true;
    dialogs.beep(Icon::Question);
    return dialogs.ask(caption, kSendWhileSamplingText, Buttons::YesNo, Icon::Question, Answer::No) == Answer::Yes;
}

} // namespace cv
