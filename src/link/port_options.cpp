#include "link/port_options.h"

#include <algorithm>

#include "link/port_map.h"
#include "protocol/speed_choices.h"

namespace cv {

bool isComMapping(const std::string& text) {
    PortMap probe;
    return probe.addMapping(text);
}

int speedChoiceOfText(std::string text) {
    std::erase(text, ' ');
    for (size_t i = 1; i < kSpeedChoiceItems.size(); ++i)
        if (text == kSpeedChoiceItems[i]) return int(i);
    return 0;
}

std::string speedChoicesText() {
    std::string withLineSetting;
    for (const char* item : kSpeedChoiceItems) {
        if (std::string_view(item).find(',') == std::string_view::npos) continue;
        if (!withLineSetting.empty()) withLineSetting += " or ";
        withLineSetting += item;
    }
    return std::string(kSpeedChoiceItems[1]) + " .. " + kSpeedChoiceItems[kTopSpeedChoice] + ", " + withLineSetting;
}

} // namespace cv
