#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/text_format.h"

namespace cv {

TEST(Bytes, ChecksumIsSumOfUnsignedBytesModulo65536) {
    std::vector<uint8_t> b(300, 0xFF);
    EXPECT_EQ(blockChecksum(b.data(), b.size()), uint16_t(300 * 255));
}

TEST(TextFormat, UsesCWidthRules) {
    EXPECT_EQ(format("%4.2f", 7.06), "7.06");
    EXPECT_EQ(format("COM%1d", 12), "COM12");
    EXPECT_EQ(formatTime("%m/%d/%y  %H:%M:%S", wallClockFields(0)), "01/01/70  00:00:00");
}

} // namespace cv
