#include "protocol/mux_record.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace cv::mux {

uint16_t RecordView::u16(size_t at) const {
    if (at + 2 > m_length) return 0;
    return m_order == ByteOrder::Host ? getU16le(m_bytes + at) : getU16be(m_bytes + at);
}

uint32_t RecordView::timeStamp() const {
    if (kTimeStampAt + 4 > m_length) return 0;
    return m_order == ByteOrder::Host ? getU32le(m_bytes + kTimeStampAt) : getU32be(m_bytes + kTimeStampAt);
}

size_t RecordView::sectionLength(int number) const {
    if (number < 1 || number > kSections) return 0;
    return u16(kSectionLengthsAt + 2 * size_t(number - 1));
}

size_t RecordView::sectionsTotal() const {
    size_t sum = 0;
    for (int k = 1; k <= kSections; ++k) sum += sectionLength(k);
    return sum;
}

Header RecordView::header() const {
    Header h;
    h.first = first();
    h.second = second();
    h.unit = uint8_t(unit());
    h.sequence = sequence();
    h.dataLength = uint16_t(dataLength());
    h.timeStamp = timeStamp();
    for (int k = 1; k <= kSections; ++k) h.sections[size_t(k - 1)] = uint16_t(sectionLength(k));
    return h;
}

std::span<const uint8_t> RecordView::data() const {
    if (m_length <= kHeaderLength) return {};
    return {m_bytes + kHeaderLength, std::min(dataLength(), m_length - kHeaderLength)};
}

std::span<const uint8_t> RecordView::section(int number) const {
    if (number < 1 || number > kSections) return {};
    size_t offset = 0;
    for (int k = 1; k < number; ++k) offset += sectionLength(k);
    const size_t n = sectionLength(number);
    const std::span<const uint8_t> all = data();
    if (offset + n > all.size()) return {};
    return all.subspan(offset, n);
}

bool RecordView::trailerIsHostTrailer() const {
    const size_t at = kHeaderLength + dataLength();
    return at + kTrailerLength <= m_length && std::memcmp(m_bytes + at, kHostTrailer.data(), kTrailerLength) == 0;
}

std::span<uint8_t> sectionToFill(std::span<uint8_t> record, int number, ByteOrder order) {
    const std::span<const uint8_t> at = RecordView(record.data(), record.size(), order).section(number);
    return record.subspan(size_t(at.data() - record.data()), at.size());
}

std::span<uint8_t> trailerToFill(std::span<uint8_t> record, ByteOrder order) {
    const size_t at = RecordView(record.data(), record.size(), order).wholeLength() - kTrailerLength;
    return at + kTrailerLength <= record.size() ? record.subspan(at, kTrailerLength) : std::span<uint8_t>();
}

void writeHeader(uint8_t* record, const Header& h, ByteOrder order) {
    const bool host = order == ByteOrder::Host;
    record[0] = h.first;
    record[1] = h.second;
    record[2] = h.unit;
    record[3] = h.sequence;
    auto put16 = [host](uint8_t* p, uint16_t v) { host ? putU16le(p, v) : putU16be(p, v); };
    put16(record + RecordView::kDataLengthAt, h.dataLength);
    host ? putU32le(record + RecordView::kTimeStampAt, h.timeStamp)
         : putU32be(record + RecordView::kTimeStampAt, h.timeStamp);
    for (size_t k = 0; k < h.sections.size(); ++k) put16(record + RecordView::kSectionLengthsAt + 2 * k, h.sections[k]);
}

void headerToHostOrder(uint8_t* record) {
    writeHeader(record, RecordView(record, kHeaderLength, ByteOrder::Wire).header(), ByteOrder::Host);
}

void headerToWireOrder(uint8_t* record) {
    writeHeader(record, RecordView(record, kHeaderLength, ByteOrder::Host).header(), ByteOrder::Wire);
}

} // namespace cv::mux
