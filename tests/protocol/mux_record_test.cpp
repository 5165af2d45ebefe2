#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/mux_record.h"
#include "support/fakes.h"

namespace cv::mux {
namespace {

// Unit 2, sequence 0x11, 9 data bytes ("ab" on port 1, "cde" on port 3, "9999" analog),
// time stamp 0x01020304, as the logger sends it (big-endian) and as the host keeps it.
const std::vector<uint8_t> kWire = test::bytesOf(
    "01 01 02 11 00 09 01 02 03 04 00 02 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 04 "
    "61 62 63 64 65 39 39 39 39 23 23 23 23");
const std::vector<uint8_t> kHost = test::bytesOf(
    "01 01 02 11 09 00 04 03 02 01 02 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 04 00 "
    "61 62 63 64 65 39 39 39 39 23 23 23 23");

std::string text(std::span<const uint8_t> s) { return {s.begin(), s.end()}; }

TEST(MuxRecordGolden, WireRecordReadsAndTurnsIntoTheHostOrderBytes) {
    const RecordView wire(kWire.data(), kWire.size(), ByteOrder::Wire);
    EXPECT_EQ(wire.unit(), 2);
    EXPECT_EQ(wire.sequence(), 0x11);
    EXPECT_EQ(wire.dataLength(), 9u);
    EXPECT_EQ(wire.timeStamp(), 0x01020304u);
    EXPECT_EQ(text(wire.section(1)), "ab");
    EXPECT_EQ(text(wire.section(2)), "");
    EXPECT_EQ(text(wire.section(3)), "cde");
    EXPECT_EQ(text(wire.section(9)), "9999");
    EXPECT_TRUE(wire.complete());
    EXPECT_TRUE(wire.trailerIsHostTrailer());

    std::vector<uint8_t> bytes = kWire;
    headerToHostOrder(bytes.data());
    EXPECT_EQ(bytes, kHost);
    const RecordView host(bytes.data(), bytes.size());
    EXPECT_EQ(host.header().sections, wire.header().sections);
    headerToWireOrder(bytes.data());
    EXPECT_EQ(bytes, kWire);

    std::vector<uint8_t> written(kHeaderLength);
    writeHeader(written.data(), wire.header(), ByteOrder::Host);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), kHost.begin()));
}

// Whatever the header claims, nothing is read outside the bytes given.
TEST(MuxRecordGolden, ShortOrLyingRecordsReadNothingOutsideTheirBytes) {
    const RecordView cut(kHost.data(), 30);
    EXPECT_FALSE(cut.complete());
    EXPECT_EQ(text(cut.section(1)), "ab");
    EXPECT_TRUE(cut.section(3).empty());
    EXPECT_FALSE(cut.trailerIsHostTrailer());
    const RecordView stub(kHost.data(), 5);
    EXPECT_FALSE(stub.hasHeader());
    EXPECT_EQ(stub.timeStamp(), 0u);
    EXPECT_EQ(stub.sectionLength(1), 0u);
    EXPECT_TRUE(stub.data().empty());
    EXPECT_TRUE(RecordView(kHost.data(), kHost.size()).section(10).empty());
}

} // namespace
} // namespace cv::mux
