#include "archive/archive_walker.h"

#include <sys/types.h>

#include "base/text_format.h"
#include "protocol/mux_record.h"

namespace cv {

namespace {
constexpr size_t kHeader = mux::kHeaderLength;
constexpr size_t kTrailer = mux::kTrailerLength;
} // namespace

std::string secondsText(const ArchiveRecordInfo& r) {
    return r.hasSeconds() ? format("%u.%02u", unsigned(r.timeStamp / 100), unsigned(r.timeStamp % 100)) : std::string();
}

ArchiveWalker::ArchiveWalker(std::FILE* file, uint64_t fileLength) : m_file(file), m_length(fileLength) {
    m_record.resize(kHeader + 65535 + kTrailer);
}

ArchiveWalk ArchiveWalker::fail(uint64_t offset, std::string text) {
    m_fault = std::move(text);
    m_faultOffset = offset;
    m_position = m_length;  // nothing after a fault is trusted
    return ArchiveWalk::Fault;
}

ArchiveWalk ArchiveWalker::next(ArchiveRecordInfo& r) {
    if (!m_fault.empty()) return ArchiveWalk::Fault;
    if (m_position >= m_length) return ArchiveWalk::End;
    const uint64_t at = m_position;
    const uint64_t left = m_length - at;
    if (left < kHeader + kTrailer)
        return fail(at, format("truncated last record: %llu bytes, less than a header", (unsigned long long)left));
    uint8_t* p = m_record.data();
    if (fseeko(m_file, off_t(at), SEEK_SET) != 0 || std::fread(p, 1, kHeader, m_file) != kHeader)
        return fail(at, "read error");
    const mux::RecordView head(p, kHeader);
    const size_t payload = head.dataLength();
    if (payload + kHeader + kTrailer > left)
        return fail(at, format("truncated last record: its length %zu runs past the end of the file (%llu bytes left)",
                               payload + kHeader + kTrailer, (unsigned long long)left));
    if (std::fread(p + kHeader, 1, payload + kTrailer, m_file) != payload + kTrailer) return fail(at, "read error");
    const mux::RecordView record(p, payload + kHeader + kTrailer);
    // Only a file whose first record ends in the host's trailer promises it everywhere.
    const bool hashes = record.trailerIsHostTrailer();
    if (m_first) m_checkTrailer = hashes;
    else if (m_checkTrailer && !hashes)
        return fail(at, "the trailer is not \"####\" where the record's length puts it");
    m_first = false;

    const mux::Header h = record.header();
    r.offset = at;
    r.first = h.first;
    r.second = h.second;
    r.loggerId = h.unit;
    r.sequence = h.sequence;
    r.payload = h.dataLength;
    r.timeStamp = h.timeStamp;
    r.view = record;
    r.utcMs.reset();
    r.sectionsAddUp = record.sectionsTotal() == payload;
    m_position = at + payload + kHeader + kTrailer;
    return ArchiveWalk::Record;
}

} // namespace cv
