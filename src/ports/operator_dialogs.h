#pragma once
// Everything the program asks of or tells the operator in a modal box or a file choice.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cv {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };
enum class Icon { None, Exclamation, Question, Information, Error };

struct FileChoice {
    std::string title;
    std::string filter;        // "Run (run.000-run.999)|run.*" style: description|pattern
    std::string proposedName;  // name put into the dialog
    // The dialog itself asks about an existing name. Savers that add an extension to the name
    // chosen ask with mayReplaceFile instead, about the name they will write.
    bool askOverwrite = false;
};

class OperatorDialogs {
public:
    virtual ~OperatorDialogs() = default;
    virtual void beep(Icon kind) = 0;
    // A modal box; returns the button pressed (Cancel/No when closed otherwise).
    virtual Answer ask(const std::string& caption, const std::string& text, Buttons buttons,
                       Icon icon) = 0;
    // The same box with `defaultAnswer` on the button that Enter presses, for questions whose
    // first button does harm on a stray key. Operators with no buttons to choose among ask as
    // above.
    virtual Answer ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
                       Answer defaultAnswer) {
        (void)defaultAnswer;
        return ask(caption, text, buttons, icon);
    }
    // A box with a caption, a text and OK that does not hold up its caller: the timer step
    // that raised it goes on at once. `closed` runs when the operator closes it. A window
    // system shows it and returns; this default asks and waits, for operators without one.
    virtual void inform(const std::string& caption, const std::string& text, Icon icon,
                        std::function<void()> closed = {}) {
        ask(caption, text, Buttons::Ok, icon);
        if (closed) closed();
    }
    // File choices return the full path chosen, or nothing when cancelled.
    virtual std::optional<std::string> chooseSaveFile(const FileChoice& choice) = 0;
    virtual std::optional<std::string> chooseOpenFile(const FileChoice& choice) = 0;
};

// True when `file` may be written: nothing is there yet, or the operator answered Yes to
// "File <file> Exists ... Overwrite ?" (No on Enter). Click handlers ask it; it waits.
bool mayReplaceFile(OperatorDialogs& dialogs, const std::string& caption, const std::filesystem::path& file);

// True when a record that changes how the logger samples (its setup, hardware configuration or
// analog calibration) may go out: the last status did not say the logger is sampling, or the
// operator answered Yes to the question (No on Enter). Sending stays possible mid-cast, since an
// operator may mean it. Click handlers ask it; it waits.
extern const char* const kSendWhileSamplingText;
bool maySendWhileSampling(OperatorDialogs& dialogs, int loggerState, const std::string& caption);

// Answers every box with OK and every file choice with nothing, showing nothing: for code that
// runs with no operator at hand, such as benchmarks and fuzz targets.
class SilentDialogs : public OperatorDialogs {
public:
    using OperatorDialogs::ask;
    void beep(Icon) override {}
    Answer ask(const std::string&, const std::string&, Buttons, Icon) override { return Answer::Ok; }
    std::optional<std::string> chooseSaveFile(const FileChoice&) override { return std::nullopt; }
    std::optional<std::string> chooseOpenFile(const FileChoice&) override { return std::nullopt; }
};

// The program's warning box: an exclamation beep, then a box with a title, a text and OK that
// does not hold up the code that raised it. Beyond ten open at once further ones are dropped,
// so that a flood of warnings (one per bad record, say) cannot stack up without end.
class WarningBox {
public:
    explicit WarningBox(OperatorDialogs& dialogs) : m_dialogs(dialogs) {}
    void show(const std::string& title, const std::string& text);
    int openCount() const { return *m_open; }
    static constexpr int kMaxOpen = 10;

private:
    OperatorDialogs& m_dialogs;
    // Shared with the boxes' close calls, which may come after this object is gone.
    std::shared_ptr<int> m_open = std::make_shared<int>(0);
};

} // namespace cv
