#include "extract/archive_sections.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace cv {

SectionSet::SectionSet() : m_storage(kSectionCapacity * kSectionCount) {}

bool SectionSet::canAppend(int section, size_t count) const {
    if (section < 1 || section > kSectionCount) return false;
    return m_lengths[size_t(section - 1)] + count <= kSectionCapacity && m_total + count <= kMaxDataLength;
}

void SectionSet::append(int section, const uint8_t* data, size_t count) {
    if (section < 1 || section > kSectionCount) return;
    size_t& length = m_lengths[size_t(section - 1)];
    size_t room = std::min(kSectionCapacity - length, kMaxDataLength - m_total);
    size_t n = std::min(count, room);
    if (n == 0) return;
    std::memcpy(m_storage.data() + size_t(section - 1) * kSectionCapacity + length, data, n);
    length += n;
    m_total += n;
}

void SectionSet::replace(int section, const uint8_t* data, size_t count) {
    if (section < 1 || section > kSectionCount) return;
    size_t& length = m_lengths[size_t(section - 1)];
    m_total -= length;
    length = 0;
    append(section, data, count);
}

void SectionSet::clear() {
    m_lengths.fill(0);
    m_total = 0;
}

void SectionSet::appendRecord(std::vector<uint8_t>& out, const ArchiveRecordHeader& header, uint32_t time) const {
    size_t start = out.size();
    out.resize(start + kArchiveHeaderLength + m_total + kArchiveTrailerLength);
    uint8_t* p = out.data() + start;
    p[0] = header.first;
    p[1] = header.second;
    p[2] = header.loggerId;
    p[3] = header.sequence;
    putU16le(p + kArchiveLengthOffset, uint16_t(m_total));
    putU32le(p + kArchiveTimeOffset, time);
    for (int s = 0; s < kSectionCount; ++s)
        putU16le(p + kArchiveSectionLengthsOffset + 2 * size_t(s), uint16_t(m_lengths[size_t(s)]));
    uint8_t* data = p + kArchiveHeaderLength;
    for (int s = 0; s < kSectionCount; ++s) {
        size_t n = m_lengths[size_t(s)];
        if (n == 0) continue;
        std::memcpy(data, m_storage.data() + size_t(s) * kSectionCapacity, n);
        data += n;
    }
    std::memcpy(data, "####", kArchiveTrailerLength);
}

} // namespace cv
