#include "protocol/commands.h"

#include "base/bytes.h"

namespace cv {

CommandPacket buildCommandPacket(uint16_t code, uint16_t arg16, uint32_t arg32) {
    CommandPacket p{};
    putU16le(&p[0], 0x0202);
    putU16le(&p[2], code);
    putU32le(&p[4], arg32);
    putU16le(&p[8], arg16);
    putU16le(&p[10], blockChecksum(p.data(), 10));
    return p;
}

} // namespace cv
