#pragma once
// Helpers shared by the extraction tests: a warning recorder, a run-file builder, file reading
// and an archive file parser that checks the record framing.
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "extract/warning_sink.h"
#include "support/fakes.h"
#include "base/bytes.h"
#include "run_file_generator.h"

namespace cv::test {

struct RecordedWarnings : WarningSink {
    std::vector<std::pair<std::string, std::string>> seen;
    void warning(const std::string& title, const std::string& text) override { seen.emplace_back(title, text); }
    bool saw(const std::string& title, const std::string& text) const {
        for (const auto& w : seen)
            if (w.first == title && w.second == text) return true;
        return false;
    }
};


// Builds a run file record by record.
struct RunBytes {
    std::vector<uint8_t> bytes;
    RunBytes& record(int type, const std::vector<uint8_t>& payload) {
        sim::appendRunFileRecord(bytes, type, payload);
        return *this;
    }
    RunBytes& record(int type, const std::string& payload) { return record(type, textBytes(payload)); }
    RunBytes& timed(int type, uint32_t time, const std::string& data = {}) {
        return record(type, sim::timedRunPayload(time, textBytes(data)));
    }
    RunBytes& header(int size, int type) {  // a bare header, valid or not
        uint8_t h[4];
        putU16le(h, uint16_t(size));
        putU16le(h + 2, uint16_t(type));
        bytes.insert(bytes.end(), h, h + 4);
        return *this;
    }
    RunBytes& raw(const std::vector<uint8_t>& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
};

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline std::string readText(const std::filesystem::path& path) {
    auto b = readBytes(path);
    return std::string(b.begin(), b.end());
}

struct ArchiveRecord {
    std::array<uint8_t, 4> head{};
    uint16_t length = 0;
    uint32_t time = 0;
    std::array<uint16_t, 9> sectionLengths{};
    std::vector<uint8_t> data;  // all section bytes
    std::string trailer;
    std::vector<uint8_t> stored;  // the record as stored
    bool sectionsAddUp() const {
        size_t sum = 0;
        for (auto l : sectionLengths) sum += l;
        return sum == length;
    }
    // Bytes of section 1..9; empty when the sections do not add up.
    std::vector<uint8_t> section(int s) const {
        if (!sectionsAddUp()) return {};
        size_t at = 0;
        for (int k = 1; k < s; ++k) at += sectionLengths[size_t(k - 1)];
        return std::vector<uint8_t>(data.begin() + std::ptrdiff_t(at),
                                    data.begin() + std::ptrdiff_t(at + sectionLengths[size_t(s - 1)]));
    }
};

// Splits an archive file into records by their data lengths; false when the last record does
// not end exactly at the end of the file.
inline bool parseArchive(const std::vector<uint8_t>& file, std::vector<ArchiveRecord>& records) {
    size_t at = 0;
    while (at < file.size()) {
        if (file.size() - at < 32) return false;
        const uint8_t* p = file.data() + at;
        ArchiveRecord r;
        std::copy(p, p + 4, r.head.begin());
        r.length = getU16le(p + 4);
        r.time = getU32le(p + 6);
        for (size_t s = 0; s < 9; ++s) r.sectionLengths[s] = getU16le(p + 10 + 2 * s);
        if (file.size() - at < size_t(r.length) + 32) return false;
        r.data.assign(p + 28, p + 28 + r.length);
        r.trailer.assign(reinterpret_cast<const char*>(p + 28 + r.length), 4);
        r.stored.assign(p, p + 32 + r.length);
        records.push_back(std::move(r));
        at += size_t(records.back().length) + 32;
    }
    return true;
}

inline std::vector<ArchiveRecord> archiveRecords(const std::filesystem::path& path) {
    std::vector<ArchiveRecord> records;
    parseArchive(readBytes(path), records);
    return records;
}

} // namespace cv::test
