#pragma once
// Reads an archive file record by record in constant memory and names the first framing fault,
// for the tools that read archive files without this program.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "protocol/mux_record.h"

namespace cv {

struct ArchiveRecordInfo {
    uint64_t offset = 0;
    uint8_t first = 0;
    uint8_t second = 0;  // 1: the time stamp counts units of 10 ms
    uint8_t loggerId = 0;
    uint8_t sequence = 0;
    uint32_t timeStamp = 0;
    uint16_t payload = 0;
    // The whole record, header to trailer: its sections are found through it. Valid until the
    // next call of next().
    mux::RecordView view{nullptr, 0};
    // False for a record whose section lengths do not add up to its data length (the extraction
    // copies such a record from the logger as it is): it is framed by its data length, and its
    // data cannot be told apart into ports.
    bool sectionsAddUp = true;
    // When the host took the record from the line (ms since 1970 UTC), where a time index says.
    std::optional<int64_t> utcMs;
    size_t length() const { return size_t(payload) + 32; }
    bool hasSeconds() const { return second == 1; }
};

// The time stamp in seconds ("12.34"), empty where the record does not count 10 ms units.
std::string secondsText(const ArchiveRecordInfo& record);

enum class ArchiveWalk { Record, End, Fault };

// Walks the records of one archive file by their lengths. Holds at most one record.
class ArchiveWalker {
public:
    explicit ArchiveWalker(std::FILE* file, uint64_t fileLength);

    // The next record, the clean end of the file, or the first framing fault (fault() says
    // which; nothing after it is read).
    ArchiveWalk next(ArchiveRecordInfo& record);
    const std::string& fault() const { return m_fault; }
    uint64_t faultOffset() const { return m_faultOffset; }
    uint64_t position() const { return m_position; }

private:
    ArchiveWalk fail(uint64_t offset, std::string text);

    std::FILE* m_file;
    uint64_t m_length;
    uint64_t m_position = 0;
    std::vector<uint8_t> m_record;
    bool m_checkTrailer = false;
    bool m_first = true;
    std::string m_fault;
    uint64_t m_faultOffset = 0;
};

} // namespace cv
