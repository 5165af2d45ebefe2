#pragma once
// Test doubles and packet builders shared by the run directory, upload and page tests.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "protocol/commands.h"
#include "protocol/logger_records.h"
#include "memory/upload_view.h"

namespace cv::test {

// Keeps every command packet as the 12 bytes that would go out on the logger port.
class CommandRecorder : public CommandSink {
public:
    std::vector<CommandPacket> packets;
    bool accept = true;  // false: the port takes nothing, as a closed or lost one
    bool sendCommand(uint16_t code, uint16_t arg16, uint32_t arg32) override {
        if (accept) packets.push_back(buildCommandPacket(code, arg16, arg32));
        return accept;
    }
    bool sendBlock(const uint8_t*, size_t) override { return other(); }
    bool sendRaw(const std::string&) override { return other(); }
    bool other() {
        if (accept) ++otherWrites;
        return accept;
    }
    int otherWrites = 0;

    std::vector<uint8_t> bytes(size_t i) const { return {packets.at(i).begin(), packets.at(i).end()}; }
    std::vector<uint8_t> last() const { return bytes(packets.size() - 1); }
    int countOf(uint16_t code) const {
        int n = 0;
        for (const auto& p : packets) n += getU16le(&p[2]) == code ? 1 : 0;
        return n;
    }
    std::vector<CommandPacket> withCode(uint16_t code) const {
        std::vector<CommandPacket> out;
        for (const auto& p : packets)
            if (getU16le(&p[2]) == code) out.push_back(p);
        return out;
    }
};

// What the page would show, kept as plain values.
class FakeView : public UploadView {
public:
    long maximum = -1;
    long position = -1;
    std::string uploadRun, uploadSize, timeLeft, status, result;
    bool timeoutEnabled = false;
    int timeoutChanges = 0;
    std::vector<std::string> rows;
    void setProgressMaximum(long m) override { maximum = m; }
    void setProgressPosition(long p) override { position = p; }
    void setUploadRunText(const std::string& t) override { uploadRun = t; }
    void setUploadSizeText(const std::string& t) override { uploadSize = t; }
    void setTimeLeftText(const std::string& t) override { timeLeft = t; }
    void setStatusText(const std::string& t) override { status = t; }
    void setResultText(const std::string& t) override { result = t; }
    void setTimeoutEnabled(bool on) override {
        timeoutEnabled = on;
        ++timeoutChanges;
    }
    void appendRow(const std::string& t) override { rows.push_back(t); }
    void clearRows() override { rows.clear(); }
};

// Fields of a directory entry as the logger lays them out.
struct EntryFields {
    int16_t run = 0;
    int16_t mode = 0;
    std::array<int16_t, 8> ports{};
    std::array<int16_t, 7> analog{};
    std::array<int16_t, 4> pumps{};
    uint32_t start = 0;
    uint32_t size = 0;
    int16_t startMv = 0;
    int16_t endMv = 0;
};

inline std::array<uint8_t, kDirectoryEntryLength> entryPacket(const EntryFields& f) {
    std::array<uint8_t, kDirectoryEntryLength> p{};
    putI16le(&p[2], f.run);
    putI16le(&p[4], f.mode);
    putI16le(&p[6], 99);  // port slot 0: never read
    for (size_t i = 0; i < 8; ++i) putI16le(&p[8 + 2 * i], f.ports[i]);
    putI16le(&p[24], 99);  // analog slot 0: never read
    for (size_t i = 0; i < 7; ++i) putI16le(&p[26 + 2 * i], f.analog[i]);
    for (size_t i = 0; i < 4; ++i) putI16le(&p[40 + 2 * i], f.pumps[i]);
    putU32le(&p[48], f.start);
    putU32le(&p[52], f.size);
    putI16le(&p[56], f.startMv);
    putI16le(&p[58], f.endMv);
    frameBlock(p.data(), p.size(), 5);
    return p;
}

inline std::array<uint8_t, kDirectoryEntryLength> entryPacket(int16_t run, uint32_t size) {
    EntryFields f;
    f.run = run;
    f.size = size;
    return entryPacket(f);
}

// An upload block carrying `count` bytes of `data` starting at `from` (missing bytes stay 0).
inline std::array<uint8_t, kUploadBlockLength> uploadBlock(uint16_t number, int16_t count,
                                                           const std::vector<uint8_t>& data = {},
                                                           size_t from = 0) {
    std::array<uint8_t, kUploadBlockLength> b{};
    putU16le(&b[2], number);
    putI16le(&b[6], count);
    for (size_t i = 0; i < 1024 && from + i < data.size(); ++i) b[8 + i] = data[from + i];
    frameBlock(b.data(), b.size(), 4);
    return b;
}

// Run-file contents that differ at every position of a block, so a lost or shifted block shows.
inline std::vector<uint8_t> runBytes(size_t size, uint8_t seed = 1) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = uint8_t((i * 7 + i / 251 + seed) & 0xFF);
    return v;
}

} // namespace cv::test
