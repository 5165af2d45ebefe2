#include "dialogs/port_test.h"

#include "base/bytes.h"

namespace cv::porttest {

LineSetting lineSettingFor(int speedChoice) {
    switch (speedChoice) {
    case 0: return {0, 8, 0};
    case 1: return {600, 8, 0};
    case 2: return {1200, 8, 0};
    case 3: return {2400, 8, 0};
    case 4: return {4800, 8, 0};
    case 5: return {4800, 7, 2};
    case 7: return {9600, 7, 2};
    case 8: return {19200, 8, 0};
    case 9: return {38400, 8, 0};
    case 10: return {57600, 8, 0};
    case 11: return {115200, 8, 0};
    default: return {9600, 8, 0};
    }
}

Block buildPortTestBlock(int testPortItem, const LineSetting& test, const LineSetting& host) {
    Block b{};
    uint8_t* p = b.data();
    putU16be(p + 2, uint16_t(testPortItem + 1));
    putU32be(p + 4, test.baud);
    putU32be(p + 8, host.baud);
    putU16be(p + 12, test.parity);
    putU16be(p + 14, host.parity);
    putU16be(p + 16, test.dataBits);
    putU16be(p + 18, host.dataBits);
    frameBlock(p, b.size(), kBlockType);
    return b;
}

} // namespace cv::porttest
