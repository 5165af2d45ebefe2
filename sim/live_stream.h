#pragma once
// The live stream of a sampling logger and of the units that share its line: one mux packet per
// unit and interval, each unit counting its own sequence numbers, with the stream's faults laid
// in on purpose so the host's sequence checks and recording can be proved.
#include <array>
#include <cstdint>
#include <vector>

#include "run_recording.h"
#include "sim_records.h"

namespace cv::sim {

// Each fault strikes every Nth record of a unit (0 = never), so a test knows where to look.
struct StreamFaults {
    uint32_t gapEvery = 0;        // the record skips sequence numbers before it
    uint32_t gapLength = 1;       // sequence numbers skipped by each gap (1..255)
    uint32_t duplicateEvery = 0;  // the record goes out twice in a row
    uint32_t emptyEvery = 0;      // the record carries no payload (it still takes its sequence number)
    uint8_t strayUnit = 0;        // a sender unit above 4 that also sends; 0 = none
    uint32_t strayEvery = 10;     // intervals between the stray unit's records
};

// One mux packet as it went out, with the record inside it.
struct SentMuxPacket {
    uint8_t unit = 0;
    uint8_t sequence = 0;
    bool duplicate = false;       // a second copy of the packet before it
    std::vector<uint8_t> packet;  // type bytes, header (big-endian), payload, trailer, checksum

    // The record the host keeps: the packet without its type bytes and checksum.
    std::vector<uint8_t> record() const { return {packet.begin() + 2, packet.end() - 2}; }
    size_t payloadLength() const { return packet.size() - kMuxFrameOverhead; }
};

class LiveStream {
public:
    // units: the sender units played, 0 the time unit, 1..4 loggers. Sequence numbers carry on
    // from the last session, as the host's expectations do.
    void begin(std::vector<uint8_t> units, uint32_t seed);

    // One interval's packets in the order they go on the line. timeStamp counts tenths of a
    // second since sampling began; clock is the logger clock (local seconds); analogScans is how
    // often each analog channel was read in the interval.
    std::vector<SentMuxPacket> interval(const SetupRecord& setup, uint32_t timeStamp, int64_t clock, int analogScans,
                                        const StreamFaults& faults);

private:
    struct Unit {
        uint8_t id = 0;
        uint32_t records = 0;
        InstrumentSource source{0};
    };
    void send(Unit& unit, Sections sections, uint32_t timeStamp, const StreamFaults& faults,
              std::vector<SentMuxPacket>& out);

    std::vector<Unit> m_units;
    Unit m_stray;
    uint32_t m_intervals = 0;
    std::array<uint8_t, 256> m_nextSequence{};
};

// The time unit's sentence: date and time of the logger clock, NMEA-like with its checksum.
std::vector<uint8_t> timeUnitSentence(int64_t clock, uint32_t timeStamp);

} // namespace cv::sim
