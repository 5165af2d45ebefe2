#include "live_stream.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>

namespace cv::sim {

void LiveStream::begin(std::vector<uint8_t> units, uint32_t seed) {
    std::mt19937 rng(seed);
    m_units.clear();
    for (uint8_t id : units) m_units.push_back(Unit{id, 0, InstrumentSource(rng())});
    m_stray = Unit{0, 0, InstrumentSource(rng())};
    m_intervals = 0;
}

std::vector<SentMuxPacket> LiveStream::interval(const SetupRecord& setup, uint32_t timeStamp, int64_t clock,
                                               int analogScans, const StreamFaults& faults) {
    std::vector<SentMuxPacket> out;
    const uint32_t tick = m_intervals++;
    for (Unit& unit : m_units) {
        Sections sections;
        if (unit.id == 0) sections[0] = timeUnitSentence(clock, timeStamp);
        else sections = unit.source.next(setup, tick, clock, analogScans);
        send(unit, std::move(sections), timeStamp, faults, out);
    }
    if (faults.strayUnit > 4 && faults.strayEvery > 0 && tick % faults.strayEvery == faults.strayEvery - 1) {
        m_stray.id = faults.strayUnit;
        send(m_stray, m_stray.source.next(setup, tick, clock, analogScans), timeStamp, faults, out);
    }
    return out;
}

void LiveStream::send(Unit& unit, Sections sections, uint32_t timeStamp, const StreamFaults& faults,
                     std::vector<SentMuxPacket>& out) {
    const uint32_t n = ++unit.records;
    auto strikes = [n](uint32_t every) { return every > 0 && n % every == 0; };
    uint8_t& next = m_nextSequence[unit.id];
    if (strikes(faults.gapEvery)) next = uint8_t(next + std::clamp<uint32_t>(faults.gapLength, 1, 255));
    if (strikes(faults.emptyEvery)) sections = {};
    MuxFrame frame;
    frame.unit = unit.id;
    frame.sequence = next++;
    frame.timeStamp = timeStamp;
    frame.sections = std::move(sections);
    SentMuxPacket sent{unit.id, frame.sequence, false, buildMuxPacket(frame)};
    out.push_back(sent);
    if (strikes(faults.duplicateEvery)) {
        sent.duplicate = true;
        out.push_back(std::move(sent));
    }
}

std::vector<uint8_t> timeUnitSentence(int64_t clock, uint32_t timeStamp) {
    const time_t t = time_t(clock);
    std::tm f{};
    gmtime_r(&t, &f);  // the logger clock already counts local wall-clock seconds
    char body[64];
    std::snprintf(body, sizeof body, "GPZDA,%02d%02d%02d.%02u,%02d,%02d,%04d,00,00", f.tm_hour, f.tm_min, f.tm_sec,
                  unsigned(timeStamp % 10) * 10, f.tm_mday, f.tm_mon + 1, f.tm_year + 1900);
    return nmeaSentence(body);
}

} // namespace cv::sim
