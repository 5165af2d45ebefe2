#pragma once
// Where extraction reports what the operator must know. The program shows each report in its
// warning box; the command-line extractor prints it.
#include <string>

namespace cv {

class WarningBox;

class WarningSink {
public:
    virtual ~WarningSink() = default;
    virtual void warning(const std::string& title, const std::string& text) = 0;
};

// Hands every report to the program's warning box (beep, modal box, nesting limit).
class WarningBoxSink : public WarningSink {
public:
    explicit WarningBoxSink(WarningBox& box) : m_box(box) {}
    void warning(const std::string& title, const std::string& text) override;

private:
    WarningBox& m_box;
};

} // namespace cv
