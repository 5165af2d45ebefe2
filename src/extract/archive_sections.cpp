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
    size_t start = out.size();
    out.resize(start + mux::kHeaderLength + m_total + mux::kTrailerLength);
    uint8_t* p = out.data() + start;
    header.dataLength = uint16_t(m_total);
    for (size_t s = 0; s < m_sections.size(); ++s) header.sections[s] = uint16_t(m_sections[s].size());
    mux::writeHeader(p, header, mux::ByteOrder::Host);
    uint8_t* data = p + mux::kHeaderLength;
    for (const auto& bytes : m_sections) {
        if (bytes.empty()) continue;
        std::memcpy(data, bytes.data(), bytes.size());
        data += bytes.size();
    }
    std::memcpy(data, mux::kHostTrailer.data(), mux::kTrailerLength);
}

} // namespace cv
