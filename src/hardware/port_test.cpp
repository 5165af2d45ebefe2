#include "hardware/port_test.h"

#include "base/bytes.h"
#include "setup/setup_record.h"

namespace cv::porttest {

// The same speeds, data bits and parity as the logger setup's port speeds.
LineSetting lineSettingFor(int speedChoice) {
    if (speedChoice < 0 || speedChoice > 11) return {9600, 8, 0};  // the setup's extra choice 12 is no speed here
    const setup::SpeedTriple t = setup::speedTripleOf(speedChoice);
    return {uint32_t(t.baud), uint16_t(t.dataBits), uint16_t(t.parity)};
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
