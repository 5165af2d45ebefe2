#include "hardware/password.h"

#include <string_view>

namespace cv::hardware {

bool passwordAccepted(const std::string& typed) {
    const std::string_view expected(kPassword);
    return typed.size() >= expected.size() && std::string_view(typed).substr(0, expected.size()) == expected;
}

bool PasswordCheck::check(const std::string& typed, std::string& refusal) {
    if (passwordAccepted(typed)) return true;
    refusal = m_refusals == 0 ? kFirstRefusalText : kLaterRefusalText;
    ++m_refusals;
    return false;
}

} // namespace cv::hardware
