#include "extract/archive_sections.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace cv {

bool SectionSet::canAppend(int section, size_t count) const {
    if (section < 1 || section > mux::kSections) return false;
    return length(section) + count <= kSectionCapacity && m_total + count <= kMaxDataLength;
}

void SectionSet::append(int section, const uint8_t* data, size_t count) {
    if (section < 1 || section > mux::kSections) return;
    std::vector<uint8_t>& bytes = m_sections[size_t(section - 1)];
    size_t room = std::min(kSectionCapacity - bytes.size(), kMaxDataLength - m_total);
    size_t n = std::min(count, room);
    if (n == 0) return;
    bytes.insert(bytes.end(), data, data + n);
    m_total += n;
}

void SectionSet::replace(int section, const uint8_t* data, size_t count) {
    if (section < 1 || section > mux::kSections) return;
    std::vector<uint8_t>& bytes = m_sections[size_t(section - 1)];
    m_total -= bytes.size();
    bytes.clear();
    append(section, data, count);
}

void SectionSet::clear() {
    for (auto& bytes : m_sections) bytes.clear();
    m_total = 0;
}

void SectionSet::appendRecord(std::vector<uint8_t>& out, mux::Header header) const {
    const size_t start = out.size();
    out.resize(start + mux::kOverhead + m_total);
    const std::span<uint8_t> record(out.data() + start, mux::kOverhead + m_total);
    header.dataLength = uint16_t(m_total);
    for (size_t s = 0; s < m_sections.size(); ++s) header.sections[s] = uint16_t(m_sections[s].size());
    mux::writeHeader(record.data(), header, mux::ByteOrder::Host);
    for (int s = 1; s <= mux::kSections; ++s) {
        const std::vector<uint8_t>& bytes = m_sections[size_t(s - 1)];
        if (!bytes.empty()) std::memcpy(mux::sectionToFill(record, s).data(), bytes.data(), bytes.size());
    }
    std::memcpy(mux::trailerToFill(record).data(), mux::kHostTrailer.data(), mux::kTrailerLength);
}

} // namespace cv
