#include "hardware/analog_calibration.h"

#include <algorithm>
#include <cctype>

#include "base/bytes.h"
#include "base/text_format.h"

namespace cv::hardware {

namespace {
constexpr size_t kFixed15 = 2;
constexpr size_t kFixed1 = 4;
constexpr size_t kOffsets = 8;
constexpr size_t kScales = 24;
} // namespace

CalibrationValues decodeCalibration(const AnalogRecord& r) {
    CalibrationValues v;
    for (size_t e = 0; e < kCalibrationEntries; ++e) {
        v.offset[e] = getI16le(r.data() + kOffsets + 2 * e);
        v.scale[e] = getI16le(r.data() + kScales + 2 * e);
    }
    return v;
}

AnalogRecord encodeCalibration(const CalibrationValues& v) {
    AnalogRecord r{};
    uint8_t* p = r.data();
    putI16le(p + kFixed15, 15);
    putI32le(p + kFixed1, 1);
    for (size_t e = 0; e < kCalibrationEntries; ++e) {
        putI16le(p + kOffsets + 2 * e, int16_t(v.offset[e]));
        putI16le(p + kScales + 2 * e, int16_t(v.scale[e]));
    }
    frameBlock(p, r.size(), kAnalogType);
    return r;
}

const ChangedFieldsNotice kCalibrationChanged{
    "Analog Calibration Outside the Limits",
    "The analog calibration holds values that Send Analog Calibration cannot send as they are (offsets 0 to 32700, "
    "scales 1 to 32700). They are shown as they are, and Send Analog Calibration would send them changed:",
    "sent as"};

std::vector<ChangedField> unsendableCalibration(const CalibrationValues& v) {
    std::vector<ChangedField> out;
    for (size_t e = 0; e < kCalibrationEntries; ++e) {
        const std::string input = e == 0 ? std::string("Battery") : format("Analog %zu", e);
        auto check = [&](const char* what, int value, int lower) {
            const int sent = std::clamp(value, lower, kCalibrationUpper);
            if (sent != value) out.push_back({input + " " + what, format("%d", value), format("%d", sent)});
        };
        check("scale", v.scale[e], kScaleLower);
        check("offset", v.offset[e], kOffsetLower);
    }
    return out;
}

std::string calibrationBoxText(int value) { return format("%5d", value); }

BoxReading readCalibrationBox(const std::string& text, int lower, int upper) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long n = 0;
    bool digits = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        digits = true;
        n = std::min<long long>(n * 10 + (text[i] - '0'), 1'000'000'000LL);
    }
    if (!digits) return {lower, false};
    if (negative) n = -n;
    return {int(std::clamp<long long>(n, lower, upper)), true};
}

} // namespace cv::hardware
