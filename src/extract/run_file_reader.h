#pragma once
// Walks a run file record by record. Headers that cannot be right (size outside 1..2080, type
// outside 1..26) are skipped one byte at a time until a plausible header turns up again, so a
// damaged stretch costs only the records inside it. A bad header at the very start means the
// file is not a run file at all: it is refused with a warning.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>

#include "extract/buffered_file.h"
#include "extract/run_record.h"

namespace cv {

class DebugListing;
class WarningSink;

struct RunRecord {
    int type = 0;
    int declaredSize = 0;  // the size in the header
    int size = 0;          // bytes held: the declared size, or fewer when the file ended inside the payload
    // At least RunFileReader::kPayloadPadding zero bytes follow the payload, so text payloads
    // end in a 0 byte and fixed layouts read zeros where a short record has no bytes.
    uint8_t* payload = nullptr;
    bool cutShort() const { return size < declaredSize; }
};

struct RunFileReadStats {
    uint64_t records = 0;          // valid records handed out
    uint64_t rejectedHeaders = 0;  // header positions tried and rejected
    bool refused = false;          // bad header at the start: nothing was read
    bool cutShort = false;         // the file ends inside the last record's header or payload
};

class RunFileReader {
public:
    static constexpr size_t kPayloadPadding = 256;
    static constexpr const char* kErrorTitle = "Run File Error";
    static constexpr const char* kErrorText = "Unable to Process the Run";

    // The listing, when given and active, receives every header as it is read.
    RunFileReader(WarningSink& warnings, DebugListing* listing = nullptr);

    bool open(const std::filesystem::path& path);
    // Reads a run file's bytes from memory; they must stay in place while records are read.
    void open(const uint8_t* data, size_t size);
    // The next valid record; false at the end of the file. The payload stays valid until the
    // next call.
    bool next(RunRecord& record);
    const RunFileReadStats& stats() const { return m_stats; }
    // How much of the run has been read, 0..100.
    int percentRead() const {
        const uint64_t size = m_in.size();
        return size == 0 ? 0 : int(std::min<uint64_t>(m_in.position(), size) * 100 / size);
    }

private:
    void readHeader();

    WarningSink& m_warnings;
    DebugListing* m_listing;
    InputFile m_in;
    std::array<uint8_t, kMaxRecordSize + kPayloadPadding> m_payload{};
    int m_size = 0;
    int m_type = 0;
    bool m_headerPending = false;
    RunFileReadStats m_stats;
};

} // namespace cv
