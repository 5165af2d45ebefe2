#pragma once
// Archive records and their line frames for the archive tests.
#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "link/receiver.h"

namespace cv::test {

// One archive record (header fields little-endian) with `payload` bytes in section 1.
inline std::vector<uint8_t> archiveRecord(uint8_t loggerId, uint8_t sequence, uint32_t time, size_t payload) {
    std::vector<uint8_t> r(payload + 32, 0);
    r[0] = 1;
    r[2] = loggerId;
    r[3] = sequence;
    putU16le(&r[4], uint16_t(payload));
    putU32le(&r[6], time);
    putU16le(&r[10], uint16_t(payload));
    for (size_t i = 0; i < payload; ++i) r[28 + i] = uint8_t('A' + (i + sequence) % 26);
    for (size_t i = 0; i < 4; ++i) r[28 + payload + i] = '#';
    return r;
}

inline std::vector<uint8_t> joined(const std::vector<std::vector<uint8_t>>& records) {
    std::vector<uint8_t> all;
    for (const auto& r : records) all.insert(all.end(), r.begin(), r.end());
    return all;
}

// The record as the logger frames it on the line: type bytes, big-endian header, checksum.
inline std::vector<uint8_t> lineFrame(const std::vector<uint8_t>& record) {
    std::vector<uint8_t> f{8, 8};
    f.insert(f.end(), record.begin(), record.end());
    putU16be(&f[6], getU16le(&record[4]));
    putU32be(&f[8], getU32le(&record[6]));
    for (int s = 0; s < 9; ++s) putU16be(&f[12 + 2 * s], getU16le(&record[10 + 2 * s]));
    f.resize(f.size() + 2);
    putU16le(&f[f.size() - 2], blockChecksum(f.data(), f.size() - 2));
    return f;
}

// What the stream does before it records: header fields back to host order, then the sink.
struct ConvertingConsumer : PacketConsumer {
    std::function<void(const uint8_t*, size_t)> sink;
    std::vector<std::vector<uint8_t>> records;
    void onMuxRecord(uint8_t* r, size_t length) override {
        mux::headerToHostOrder(r);
        records.emplace_back(r, r + length);
        if (sink) sink(r, length);
    }
};

} // namespace cv::test
