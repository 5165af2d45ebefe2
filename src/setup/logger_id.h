#pragma once
// The logger ID (mux ID) tags a logger's data in the live stream. The host lets the operator
// give a logger one of the IDs 2..4; the PC logger itself is ID 1.
#include <string>

#include "base/text_format.h"

namespace cv::loggerid {

constexpr int kNewIdMinimum = 2;
constexpr int kNewIdMaximum = 4;
constexpr int kNewIdStart = 2;

inline std::string newIdText(int id) { return format("%3d", id); }

} // namespace cv::loggerid
