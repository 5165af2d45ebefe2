#pragma once
// A clock that stands still, for fuzz targets and benchmarks: an input alone decides what is
// done, and a waiting packet head never runs out of time.
#include <cstdint>
#include <ctime>

#include "ports/host_clock.h"

struct StillClock : cv::HostClock {
    int64_t now() override { return 1700000000; }
    std::tm localTime(int64_t) override { return {}; }
    int64_t fromLocalTime(std::tm) override { return 0; }
    long offsetWest() override { return 0; }
    int hundredths() override { return 0; }
    uint32_t elapsedMs() override { return 0; }
};
