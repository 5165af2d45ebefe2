// The fast search for packet heads must find exactly the positions the byte-by-byte rule would
// try, wherever they fall against the sixteen-byte steps of the search.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/receiver.h"
#include "support/case_name.h"

namespace {

size_t naiveCandidate(const std::vector<uint8_t>& b, size_t from, size_t end) {
    for (size_t i = from; i < end; ++i)
        if (b[i] >= 1 && b[i] <= 8 && b[i] == b[i + 1]) return i;
    return end;
}

class HeadSearch : public ::testing::TestWithParam<int> {};

// Every type byte and its neighbours 0 and 9, planted at every position of a 40-byte window,
// searched from every start and against every end, over junk that holds single type bytes too.
TEST_P(HeadSearch, FindsTheSamePositionAsTheByteRule) {
    const uint8_t value = uint8_t(GetParam());
    std::mt19937 random(value);
    for (size_t at = 0; at < 40; ++at) {
        std::vector<uint8_t> bytes(41);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i % 2 ? 0x5A : random() % 10 + (i % 3 ? 9 : 0));
        for (size_t i = 0; i + 1 < bytes.size(); ++i)
            if (bytes[i] == bytes[i + 1]) bytes[i + 1] ^= 0x40;  // no pair but the planted one
        bytes[at] = value;
        bytes[at + 1] = value;
        for (size_t from = 0; from <= at; from += 3)
            for (size_t end = from; end <= 40; end += 7)
                ASSERT_EQ(cv::PacketReceiver::nextCandidate(bytes.data(), from, end), naiveCandidate(bytes, from, end))
                    << "value " << int(value) << " at " << at << " from " << from << " end " << end;
    }
}

INSTANTIATE_TEST_SUITE_P(TypeBytesAndNeighbours, HeadSearch, ::testing::Range(0, 10),
                         [](const auto& i) { return "Case" + ::cv::test::caseName(::testing::PrintToString(i.param)); });

TEST(HeadSearchRandom, AgreesWithTheByteRuleOnRandomBuffers) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes(size_t(random() % 300 + 1));
        for (auto& b : bytes) b = uint8_t(random() % 12);
        const size_t end = bytes.size() - 1;
        const size_t from = end ? random() % end : 0;
        ASSERT_EQ(cv::PacketReceiver::nextCandidate(bytes.data(), from, end), naiveCandidate(bytes, from, end));
    }
}

} // namespace
