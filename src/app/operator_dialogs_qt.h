#pragma once
#include <QWidget>

#include "ports/operator_dialogs.h"

namespace cv {

class QtOperatorDialogs : public OperatorDialogs {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void beep(Icon kind) override;
    Answer ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) override;
    Answer ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon,
               Answer defaultAnswer) override;
    void inform(const std::string& caption, const std::string& text, Icon icon,
                std::function<void()> closed = {}) override;
    std::optional<std::string> chooseSaveFile(const FileChoice& choice) override;
    std::optional<std::string> chooseOpenFile(const FileChoice& choice) override;

private:
    QWidget* m_parent = nullptr;
};

// "Run (run.000-run.999)|run.*|All Files|*.*" -> "Run (run.000-run.999) (run.*);;All Files (*.*)"
QString qtFileFilter(const std::string& filter);

} // namespace cv
