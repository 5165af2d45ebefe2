#pragma once
// The logger's analog calibration record (44 bytes, type 6): a scale and an offset for the
// battery input and each of the seven analog inputs, and how the calibration page's boxes read.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/changed_fields.h"
#include "protocol/logger_records.h"

namespace cv::hardware {

constexpr uint8_t kAnalogType = 6;
constexpr int kCalibrationEntries = 8;  // entry 0 the battery input
constexpr int kScaleLower = 1;
constexpr int kOffsetLower = 0;
constexpr int kCalibrationUpper = 32700;

using AnalogRecord = std::array<uint8_t, kAnalogLength>;

struct CalibrationValues {
    std::array<int, kCalibrationEntries> scale{};
    std::array<int, kCalibrationEntries> offset{};
    bool operator==(const CalibrationValues&) const = default;
};

CalibrationValues decodeCalibration(const AnalogRecord& record);
AnalogRecord encodeCalibration(const CalibrationValues& values);

// The values Send cannot send as they are (an offset below 0, a scale below 1, either above
// 32700), each with the number it would send instead. The page shows them as they are.
std::vector<ChangedField> unsendableCalibration(const CalibrationValues& values);
extern const ChangedFieldsNotice kCalibrationChanged;

// A box's text as the page shows a number ("%5d"), sign included.
std::string calibrationBoxText(int value);

struct BoxReading {
    int value;
    bool hasNumber;  // false: the box held no digit and its lower limit stands in
};
// The decimal number at the start of a box's text (blanks skipped), held within the limits.
BoxReading readCalibrationBox(const std::string& text, int lower, int upper = kCalibrationUpper);

inline constexpr const char* kNotCurrentCalibrationText = "Analog Calibration is Not Current";
// What a screen reader hears while the panel above is hidden.
inline constexpr const char* kCurrentCalibrationText = "Analog Calibration is Current";
inline constexpr const char* kCalibrationMayNotMatchText =
    "The Analog Calibration shown on the Host Program may not match the Analog Calibration in the Data "
    "Logger.\n\nDo you still want to save the displayed Analog Calibration?";
inline constexpr const char* kCalibrationSaveTitle = "Save Analog Calibration File";
inline constexpr const char* kCalibrationLoadTitle = "Load Analog Calibration File";
inline constexpr const char* kCalibrationFilter = "Analog Calibration (*.alg)|*.alg|All Files (*.*)|*.*";
inline constexpr const char* kCalibrationExtension = ".alg";
inline constexpr const char* kCalibrationDamagedText =
    " holds an analog calibration whose type bytes or checksum do not hold: it was loaded, but the file may be "
    "damaged or of another kind.";

} // namespace cv::hardware
