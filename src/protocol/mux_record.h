#pragma once
// The record of the live stream, of archive files and of a run file's ARCHIVE KRMUX records:
// a 28-byte header (two kind bytes, the sender unit, its sequence number, the data length, a
// time stamp, the lengths of the nine sections), the sections back to back, and
// a 4-byte trailer ("####" as the host writes it). On the wire and in a run file the header's
// numbers are big-endian; the host turns them little-endian ("host order") before anyone else
// sees the record, and archive files keep them so. This is the one place that knows the
// offsets; everyone else reads and writes through it.
// The time stamp counts 10 ms in the records the PC logger builds (second kind byte 1); in the
// logger's own records its unit is the logger's (the simulator counts tenths of a second), so
// nothing here turns it into a clock time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cv::mux {

constexpr size_t kHeaderLength = 28;
constexpr size_t kTrailerLength = 4;
constexpr size_t kOverhead = kHeaderLength + kTrailerLength;
// Sections 1..8 carry serial ports 1..8; section 9 the analog data (the PC logger's remark or
// time stamp in its own records).
constexpr int kSections = 9;
// A mux packet on the wire: the record between two type bytes and a 16-bit checksum.
constexpr size_t kPacketOverhead = 2 + kOverhead + 2;
constexpr uint8_t kPacketType = 8;
inline constexpr std::array<uint8_t, kTrailerLength> kHostTrailer = {'#', '#', '#', '#'};

enum class ByteOrder { Wire, Host };

// The header's fields as numbers.
struct Header {
    uint8_t first = 1;
    uint8_t second = 1;
    uint8_t unit = 0;
    uint8_t sequence = 0;
    uint16_t dataLength = 0;
    uint32_t timeStamp = 0;
    std::array<uint16_t, kSections> sections{};
};

// A read-only view of one record's bytes. It never reads outside [bytes, bytes + length): a
// field that lies beyond a short record reads as 0, a section beyond the data as empty.
class RecordView {
public:
    RecordView(const uint8_t* bytes, size_t length, ByteOrder order = ByteOrder::Host)
        : m_bytes(bytes), m_length(bytes ? length : 0), m_order(order) {}

    // Long enough for a header and a trailer.
    bool hasHeader() const { return m_length >= kOverhead; }
    // The header and trailer plus the data its length claims all lie within the bytes.
    bool complete() const { return hasHeader() && wholeLength() <= m_length; }

    uint8_t first() const { return byteAt(0); }
    uint8_t second() const { return byteAt(1); }
    int unit() const { return byteAt(2); }
    uint8_t sequence() const { return byteAt(3); }
    size_t dataLength() const { return u16(kDataLengthAt); }
    uint32_t timeStamp() const;
    // number 1..9; 0 for any other number.
    size_t sectionLength(int number) const;
    size_t sectionsTotal() const;
    Header header() const;

    // Header, data and trailer as the data length puts them.
    size_t wholeLength() const { return kOverhead + dataLength(); }
    const uint8_t* bytes() const { return m_bytes; }
    size_t length() const { return m_length; }
    // The data area: at most dataLength() bytes, less when the record is short.
    std::span<const uint8_t> data() const;
    // Section 1..9's bytes; empty when the number is out of range or its bounds fall outside
    // the data.
    std::span<const uint8_t> section(int number) const;
    // The four bytes behind the data are "####".
    bool trailerIsHostTrailer() const;

private:
    static constexpr size_t kDataLengthAt = 4;
    static constexpr size_t kTimeStampAt = 6;
    static constexpr size_t kSectionLengthsAt = 10;
    friend void writeHeader(uint8_t*, const Header&, ByteOrder);
    friend void headerToHostOrder(uint8_t*);
    friend void headerToWireOrder(uint8_t*);

    uint8_t byteAt(size_t at) const { return at < m_length ? m_bytes[at] : 0; }
    uint16_t u16(size_t at) const;

    const uint8_t* m_bytes;
    size_t m_length;
    ByteOrder m_order;
};

// Section 1..9 of a record being built whose header is written, to be filled: where the view of
// the record finds it.
std::span<uint8_t> sectionToFill(std::span<uint8_t> record, int number, ByteOrder order = ByteOrder::Host);
// The trailer's place behind the data the written header claims; empty when it lies outside.
std::span<uint8_t> trailerToFill(std::span<uint8_t> record, ByteOrder order = ByteOrder::Host);

// Writes the header's 28 bytes at `record`.
void writeHeader(uint8_t* record, const Header& header, ByteOrder order);
// Turns the numbers of the 28-byte header at `record` from wire to host order in place, and back.
void headerToHostOrder(uint8_t* record);
void headerToWireOrder(uint8_t* record);

} // namespace cv::mux
