// libFuzzer target: any bytes as a host setup file. A file is applied whole, lines 1 to 22 in
// order, or not at all, with at most one box; what was applied writes back into a file that
// loads again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <map>

#include "ports/operator_dialogs.h"
#include "settings/host_setup_file.h"

namespace {

struct CountingDialogs : cv::SilentDialogs {
    int boxes = 0;
    cv::Answer ask(const std::string&, const std::string&, cv::Buttons, cv::Icon) override {
        ++boxes;
        return cv::Answer::Ok;
    }
};

// Keeps what it is given and writes it back.
struct EchoPart : cv::HostSetupPart {
    std::map<int, std::vector<int>> lines;
    int lastNumber = 0;
    bool inOrder = true;
    void writeHostSetupLine(int number, std::vector<int>& values) const override {
        const auto it = lines.find(number);
        if (it == lines.end()) return;
        for (size_t i = 0; i < values.size() && i < it->second.size(); ++i) values[i] = it->second[i];
    }
    void applyHostSetupLine(int number, const std::vector<int>& values, const cv::HostSetupLoad&) override {
        inOrder = inOrder && number == lastNumber + 1 && values.size() >= size_t(cv::hostsetup::kMaxCount);
        lastNumber = number;
        lines[number] = values;
    }
};


} // namespace

// In memory: the file reader is the same stream reader behind a file open, and a file per input
// would cost most of the time.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CountingDialogs dialogs;
    cv::WarningBox warnings(dialogs);
    EchoPart part;
    const bool loaded = cv::hostsetup::loadText(text, {&part}, size % 2 == 0, warnings);
    if (!part.inOrder || dialogs.boxes > 1) __builtin_trap();
    if (loaded != (part.lastNumber == cv::hostsetup::kLineCount) || (loaded && dialogs.boxes != 0)) __builtin_trap();
    if (!loaded && !part.lines.empty()) __builtin_trap();
    if (!loaded) return 0;

    EchoPart again;
    if (!cv::hostsetup::loadText(cv::hostsetup::fileText({&part}), {&again}, true, warnings) || dialogs.boxes != 0)
        __builtin_trap();
    if (again.lines != part.lines) __builtin_trap();  // what was applied writes back unchanged
    return 0;
}
