#pragma once
// The logger port's statistics window: its lines, numbered as the window shows them (1 at the
// top). The supervision fills them and the window shows them by these numbers.

namespace cv::statsline {

constexpr int kBytesPerSecond = 1;
constexpr int kTotalInput = 2;
constexpr int kPacketsPerSecond = 3;
constexpr int kLargestPacket = 4;
constexpr int kPacketCount = 5;
constexpr int kSequenceErrors = 6;
constexpr int kLoops = 7;
constexpr int kNoDataTimer = 8;
constexpr int kBadDataTimer = 9;
constexpr int kCount = 9;  // also all the window can show

} // namespace cv::statsline
