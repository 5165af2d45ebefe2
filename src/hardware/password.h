#pragma once
// The password that guards every change to how the logger is built or calibrated. One check is
// shared by the hardware page, the calibration page and the load-hardware-defaults command, so
// its refusal count (which picks the text) spans all three.
#include <string>

namespace cv::hardware {

inline constexpr const char* kPassword = "BlueHeron";
inline constexpr const char* kPasswordCaption = "Password=BlueHeron";
inline constexpr const char* kPasswordPrompt = "Enter Password";
inline constexpr const char* kPasswordErrorTitle = "Password Error";
inline constexpr const char* kFirstRefusalText =
    "You Must Enter a Valid Password to Change the Hardware Configuration or Analog Calibration";
inline constexpr const char* kLaterRefusalText = "An Invalid Password Was Entered -- Please Check Caps Lock";

// Only the first nine characters count, and their case does.
bool passwordAccepted(const std::string& typed);

class PasswordCheck {
public:
    // True when accepted; otherwise `refusal` gets the text the operator is shown.
    bool check(const std::string& typed, std::string& refusal);
    int refusals() const { return m_refusals; }

private:
    int m_refusals = 0;
};

} // namespace cv::hardware
