#pragma once
// Little- and big-endian field access at an offset of a byte record. Every record the program
// exchanges with the logger or stores in a file is handled through these, never by casting.
#include <cstddef>
#include <cstdint>
#include <span>

namespace cv {

inline uint16_t getU16le(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t getI16le(const uint8_t* p) { return int16_t(getU16le(p)); }
inline uint32_t getU32le(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t getI32le(const uint8_t* p) { return int32_t(getU32le(p)); }
inline uint16_t getU16be(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t getU32be(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void putU16le(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void putI16le(uint8_t* p, int16_t v) { putU16le(p, uint16_t(v)); }
inline void putU32le(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void putI32le(uint8_t* p, int32_t v) { putU32le(p, uint32_t(v)); }
inline void putU16be(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline void putU32be(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}

// 16-bit sum of the bytes taken as unsigned, modulo 65536: the checksum of every typed block.
inline uint16_t blockChecksum(const uint8_t* p, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum += p[i];
    return uint16_t(sum);
}

// True when the little-endian word in the last two bytes equals the sum of the bytes before it.
inline bool packetChecksumOk(const uint8_t* p, size_t length) {
    if (length < 2) return false;
    return blockChecksum(p, length - 2) == getU16le(p + length - 2);
}

// Writes the lead word (type twice) and the trailing checksum of a typed block in place.
inline void frameBlock(uint8_t* p, size_t length, uint8_t type) {
    p[0] = type;
    p[1] = type;
    putU16le(p + length - 2, blockChecksum(p, length - 2));
}

} // namespace cv
