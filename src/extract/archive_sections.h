#pragma once
// The nine section buffers from which extraction builds archive records: sections 1..8 hold
// what serial ports 1..8 delivered, section 9 the analog data.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "extract/run_record.h"
#include "protocol/mux_record.h"

namespace cv {

class SectionSet {
public:
    static constexpr size_t kSectionCapacity = 10000;
    // An archive record states its data length in 16 bits.
    static constexpr size_t kMaxDataLength = 65535;

    size_t length(int section) const { return m_sections[size_t(section - 1)].size(); }
    size_t total() const { return m_total; }
    bool empty() const { return m_total == 0; }

    // Whether count more bytes for the section still fit into the record being gathered.
    bool canAppend(int section, size_t count) const;
    // Appends what fits; the caller writes the gathered record out first when canAppend says no.
    void append(int section, const uint8_t* data, size_t count);
    void replace(int section, const uint8_t* data, size_t count);
    void clear();

    // Appends one archive record to out: the header with the first four bytes and the time
    // stamp of `header` and this set's data and section lengths (all little-endian), the
    // sections 1..9 back to back and the trailer "####". Its length is total() + 32.
    void appendRecord(std::vector<uint8_t>& out, mux::Header header) const;

private:
    // Each grows to what its section has held so far (kSectionCapacity at most) and keeps that
    // room: a run of short records never pays for nine full sections.
    std::array<std::vector<uint8_t>, mux::kSections> m_sections;
    size_t m_total = 0;
};

} // namespace cv
