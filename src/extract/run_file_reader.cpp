#include "extract/run_file_reader.h"

#include <cstring>

#include "extract/debug_listing.h"
#include "extract/warning_sink.h"
#include "base/bytes.h"

namespace cv {

RunFileReader::RunFileReader(WarningSink& warnings, DebugListing* listing)
    : m_warnings(warnings), m_listing(listing) {}

bool RunFileReader::open(const std::filesystem::path& path) {
    m_stats = {};
    m_headerPending = false;
    if (!m_in.open(path)) return false;
    readHeader();
    return true;
}

void RunFileReader::open(const uint8_t* data, size_t size) {
    m_stats = {};
    m_in.openBytes(data, size);
    readHeader();
}

void RunFileReader::readHeader() {
    uint8_t header[kRunRecordHeaderLength];
    m_headerPending = false;
    // A header begun but not finished is the end of the file too, but of a file cut short.
    const size_t got = m_in.read(header, kRunRecordHeaderLength);
    if (got < kRunRecordHeaderLength) {
        if (got > 0) m_stats.cutShort = true;
        return;
    }
    m_size = getI16le(header);
    m_type = getI16le(header + 2);
    m_headerPending = true;
}

bool RunFileReader::next(RunRecord& record) {
    while (m_headerPending) {
        if (m_listing) m_listing->listHeader(m_type, m_size);
        if (!headerIsValid(m_size, m_type)) {
            ++m_stats.rejectedHeaders;
            uint64_t p = m_in.position();
            if (p <= kRunRecordHeaderLength) {
                m_stats.refused = true;
                m_warnings.warning(kErrorTitle, kErrorText);
                m_in.moveToEnd();
                m_headerPending = false;
                return false;
            }
            // Try the next header one byte after the start of the rejected one.
            m_in.seek(p - (kRunRecordHeaderLength - 1));
            readHeader();
            continue;
        }
        size_t got = m_in.read(m_payload.data(), size_t(m_size));
        std::memset(m_payload.data() + got, 0, kPayloadPadding);
        record.type = m_type;
        record.declaredSize = m_size;
        record.size = int(got);
        record.payload = m_payload.data();
        if (got < size_t(m_size)) {
            // The file ends inside this payload: what is there is still data, but nothing follows.
            m_stats.cutShort = true;
            m_headerPending = false;
            if (got == 0) return false;
            ++m_stats.records;
            return true;
        }
        ++m_stats.records;
        readHeader();
        return true;
    }
    return false;
}

} // namespace cv
