#include "link/mux_stream.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "base/text_format.h"
#include "link/archive_sink.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace {
constexpr size_t kPayloadLengthAt = 4;
constexpr size_t kTimeStampAt = 6;
constexpr size_t kSectionLengthsAt = 10;

size_t sectionLength(const uint8_t* record, int section) {
    return getU16le(record + kSectionLengthsAt + 2 * size_t(section));
}
} // namespace

void RawDisplayBuffer::add(const uint8_t* bytes, size_t count) {
    const size_t n = std::min(count, kCapacity - m_count);
    if (n == 0) return;
    std::memcpy(m_bytes.data() + m_count, bytes, n);
    m_count += n;
}

MuxStream::MuxStream(WarningBox& warnings) : m_warnings(warnings) {
    // 255 everywhere, so the first number each unit is expected to send is 0.
    m_lastSequence.fill(255);
}

std::string MuxStream::muxIdErrorText(int unit) { return format("%c%cSender Unit %d %d", '\r', '\n', unit, unit); }

const MuxUnitCounters& MuxStream::unit(int u) const {
    static const MuxUnitCounters none;
    return u >= 0 && u < kMuxCountedUnits ? m_units[size_t(u)] : none;
}

std::string MuxStream::unitCounterLine(int u) const {
    const MuxUnitCounters& c = unit(u);
    if (u == 0) return format("Time Unit: %lu", static_cast<unsigned long>(c.packets));
    return format("Unit %d: %lu \t%1lu \t%1lu", u, static_cast<unsigned long>(c.packets),
                  static_cast<unsigned long>(c.sequenceErrors), static_cast<unsigned long>(c.missingPackets));
}

void MuxStream::resetCounters() { m_units.fill(MuxUnitCounters{}); }

MuxResult MuxStream::acceptMuxRecord(uint8_t* record, size_t length, int recordingMode) {
    if (!record || length < kMuxRecordOverhead) return MuxResult::Malformed;
    // Everything downstream, the archive file included, sees the header in host order.
    putU16le(record + kPayloadLengthAt, getU16be(record + kPayloadLengthAt));
    for (int k = 0; k < kMuxSections; ++k) {
        uint8_t* field = record + kSectionLengthsAt + 2 * size_t(k);
        putU16le(field, getU16be(field));
    }
    putU32le(record + kTimeStampAt, getU32be(record + kTimeStampAt));

    const size_t payload = getU16le(record + kPayloadLengthAt);
    // Replayed files and the PC logger feed this too: a header that claims more than the record
    // holds must not send anyone reading past its end.
    if (payload + kMuxRecordOverhead > length) return MuxResult::Malformed;

    const int u = record[2];
    const uint8_t s = record[3];
    if (u < kMuxTableUnits) {
        if (s == m_lastSequence[size_t(u)]) return MuxResult::Duplicate;
        if (payload == 0) {
            m_lastSequence[size_t(u)] = s;
            return MuxResult::Empty;
        }
    }
    if (u >= kMuxCountedUnits) {
        m_warnings.show(kMuxIdErrorTitle, muxIdErrorText(u));
        return MuxResult::BadUnit;
    }

    MuxUnitCounters& c = m_units[size_t(u)];
    ++c.packets;
    const uint8_t last = m_lastSequence[size_t(u)];
    if (s != uint8_t(last + 1)) {
        // The gap is counted, but the record itself arrived whole and checksum-verified, so it
        // is shown, forwarded and recorded like any other.
        ++c.sequenceErrors;
        ++m_totalSequenceErrors;
        c.missingPackets = s > last ? uint32_t(s - last - 1) : uint32_t(s + 255 - last);
    }
    // Remembered before anything is passed on, so a call that re-enters from a recorder's or a
    // router's box sees this record as the unit's last.
    m_lastSequence[size_t(u)] = s;
    m_lastTimeStamp = getU32le(record + kTimeStampAt);
    return passOn(record, payload + kMuxRecordOverhead, u, recordingMode);
}

MuxResult MuxStream::passOn(uint8_t* record, size_t length, int u, int recordingMode) {
    const size_t payloadEnd = length - kMuxTrailerLength;
    if (m_selection.on && m_selection.source == int(RawSource::ParsedData) && u == m_selection.unit &&
        m_selection.portIndex >= 0 && m_selection.portIndex < kMuxSections) {
        size_t offset = kMuxHeaderLength;
        for (int k = 0; k < m_selection.portIndex; ++k) offset += sectionLength(record, k);
        const size_t n = sectionLength(record, m_selection.portIndex);
        if (n > 0 && offset + n <= payloadEnd) m_parsed.add(record + offset, n);
    }

    if (u >= 1 && m_pcLoggerOutput) m_pcLoggerOutput(record, length, u);

    if (recordingMode < 2 || recordingMode > 4) return MuxResult::Accepted;
    const bool written = m_archive && m_archive->appendRecord(record, length, recordingMode);
    if (written) m_recordedBytes += length;
    if (recordingMode == 2) return written ? MuxResult::Recorded : MuxResult::RecordFailed;
    return written ? MuxResult::RecordedCycled : MuxResult::RecordFailedCycled;
}

void RawDisplayLines::closeLine() {
    if (m_lines.size() >= kMaxLines) m_lines.pop_front();
    m_lines.push_back(m_pending);
    m_pending.clear();
    m_newLines = std::min(m_newLines + 1, kMaxLines);
}

void RawDisplayLines::append(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == '\r' || b == '\n') {
            if (!m_lastWasLineEnd) closeLine();
            m_lastWasLineEnd = true;
            continue;
        }
        m_pending.push_back(char(b));
        m_lastWasLineEnd = false;
        if (m_pending.size() >= kMaxLineLength) closeLine();
    }
}

void RawDisplayLines::endLine() {
    if (!m_pending.empty()) closeLine();
    m_lastWasLineEnd = true;
}

std::vector<std::string> RawDisplayLines::takeNewLines() {
    const size_t n = std::min(m_newLines, m_lines.size());
    m_newLines = 0;
    return {m_lines.end() - std::ptrdiff_t(n), m_lines.end()};
}

std::string sendableText(const std::string& typed) { return typed.substr(0, kMaxSendText); }

} // namespace cv
