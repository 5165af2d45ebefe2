#pragma once
// Byte-level builders of the setup and status records as a logger would send them.
#include <array>
#include <cstdint>

#include "base/bytes.h"

namespace cv::test {

struct SetupRecordBuilder {
    std::array<uint8_t, 192> r{};

    SetupRecordBuilder() {
        r[0] = r[1] = 1;
        rate(1);
        host(9600, 8, 0);
        for (int e = 1; e < 9; ++e) link(e, 0, 8, 0);  // ports off, as a logger reports them
        for (int f = 0; f < 6; ++f) schedule(f, 5);
    }
    SetupRecordBuilder& mode(int m) { putI16le(&r[2], int16_t(m)); return *this; }
    SetupRecordBuilder& mask(uint32_t m) { putU32le(&r[8], m); return *this; }
    SetupRecordBuilder& schedule(int field, int32_t seconds) { putI32le(&r[12 + 4 * size_t(field)], seconds); return *this; }
    SetupRecordBuilder& link(int entry, int32_t baud, int bits, int parity) {
        putI32le(&r[36 + 4 * size_t(entry)], baud);
        putI16le(&r[90 + 2 * size_t(entry)], int16_t(bits));
        putI16le(&r[108 + 2 * size_t(entry)], int16_t(parity));
        return *this;
    }
    SetupRecordBuilder& host(int32_t baud, int bits, int parity) { return link(0, baud, bits, parity); }
    // Port 1..8.
    SetupRecordBuilder& port(int n, int type, int32_t baud, int bits = 8, int parity = 0) {
        putI16le(&r[72 + 2 * size_t(n)], int16_t(type));
        return link(n, baud, bits, parity);
    }
    SetupRecordBuilder& cutOff(int entry, int tenths) { putI16le(&r[126 + 2 * size_t(entry)], int16_t(tenths)); return *this; }
    SetupRecordBuilder& cutOffAll(int tenths) { for (int e = 0; e < 9; ++e) cutOff(e, tenths); return *this; }
    SetupRecordBuilder& analog(int n, int v) { putI16le(&r[146 + 2 * size_t(n - 1)], int16_t(v)); return *this; }
    SetupRecordBuilder& pump(int n, int v) { putI16le(&r[160 + 2 * size_t(n - 1)], int16_t(v)); return *this; }
    SetupRecordBuilder& rate(int hz) { putI16le(&r[170], int16_t(hz)); return *this; }
    SetupRecordBuilder& output(int v) { putI16le(&r[172], int16_t(v)); return *this; }
    SetupRecordBuilder& file(int v) { putI16le(&r[174], int16_t(v)); return *this; }
    SetupRecordBuilder& autoStart(int v) { putI16le(&r[180], int16_t(v)); return *this; }
    SetupRecordBuilder& timeSource(int v) { putI16le(&r[186], int16_t(v)); return *this; }
    // Fills every byte the host does not own with a recognisable pattern.
    SetupRecordBuilder& reserved() {
        for (size_t at : {4, 5, 6, 7, 168, 169, 176, 177, 178, 179, 182, 183, 184, 185, 188, 189})
            r[at] = uint8_t(0xA0 + at % 16);
        return *this;
    }
    std::array<uint8_t, 192> build() {
        putU16le(&r[190], blockChecksum(r.data(), 190));
        return r;
    }
};

struct StatusRecordBuilder {
    std::array<uint8_t, 132> r{};

    StatusRecordBuilder() {
        r[0] = r[1] = 3;
        state(9);
        deviceType(2);
        loggerId(3);
        firmware(7, 6, 1, 15, 24);
    }
    StatusRecordBuilder& state(int v) { putI16le(&r[4], int16_t(v)); return *this; }
    StatusRecordBuilder& runNumber(int v) { putI16le(&r[6], int16_t(v)); return *this; }
    StatusRecordBuilder& clock(int32_t v) { putI32le(&r[8], v); return *this; }
    StatusRecordBuilder& timeLeft(uint32_t v) { putU32le(&r[12], v); return *this; }
    StatusRecordBuilder& deviceType(int v) { putI16le(&r[18], int16_t(v)); return *this; }
    StatusRecordBuilder& loggerId(int v) { putI16le(&r[20], int16_t(v)); return *this; }
    StatusRecordBuilder& masks(uint16_t serial, uint16_t analog, uint16_t pumps) {
        putU16le(&r[22], serial);
        putU16le(&r[24], analog);
        putU16le(&r[26], pumps);
        return *this;
    }
    StatusRecordBuilder& portRate(int n, int v) { putI16le(&r[28 + 2 * size_t(n)], int16_t(v)); return *this; }
    StatusRecordBuilder& power(int v) { putI16le(&r[46], int16_t(v)); return *this; }
    StatusRecordBuilder& volts(int now, int start, int end) {
        putI16le(&r[48], int16_t(now));
        putI16le(&r[50], int16_t(start));
        putI16le(&r[52], int16_t(end));
        return *this;
    }
    StatusRecordBuilder& runStop(int v) { putI16le(&r[54], int16_t(v)); return *this; }
    StatusRecordBuilder& analog(int n, int mv) { putI16le(&r[56 + 2 * size_t(n)], int16_t(mv)); return *this; }
    StatusRecordBuilder& portFile(int n, int32_t v) { putI32le(&r[72 + 4 * size_t(n)], v); return *this; }
    StatusRecordBuilder& analogFile(int32_t v) { putI32le(&r[108], v); return *this; }
    StatusRecordBuilder& otherBytes(int32_t v) { putI32le(&r[112], v); return *this; }
    StatusRecordBuilder& memory(int32_t freeBytes, int32_t total) {
        putI32le(&r[116], freeBytes);
        putI32le(&r[120], total);
        return *this;
    }
    StatusRecordBuilder& firmware(uint32_t major, uint32_t minor, uint32_t month, uint32_t day, uint32_t year) {
        putU32le(&r[124], (major << 28) | (minor << 20) | (month << 16) | (day << 8) | year);
        return *this;
    }
    std::array<uint8_t, 132> build() {
        putU16le(&r[130], blockChecksum(r.data(), 130));
        return r;
    }
};

} // namespace cv::test
