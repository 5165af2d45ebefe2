#include "stream/mux_stream.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "base/text_format.h"
#include "ports/operator_dialogs.h"

namespace cv {

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

void MuxStream::addConsumer(StreamConsumer* consumer) {
    if (consumer && std::find(m_consumers.begin(), m_consumers.end(), consumer) == m_consumers.end())
        m_consumers.push_back(consumer);
}

void MuxStream::removeConsumer(StreamConsumer* consumer) { std::erase(m_consumers, consumer); }

MuxResult MuxStream::acceptMuxRecord(uint8_t* record, size_t length, Origin origin) {
    if (!record || length < mux::kOverhead) return MuxResult::Malformed;
    // Everything downstream, the archive file included, sees the header in host order.
    mux::headerToHostOrder(record);
    const mux::RecordView view(record, length);
    // Replayed files and the PC logger feed this too: a header that claims more than the record
    // holds must not send anyone reading past its end.
    if (!view.complete()) return MuxResult::Malformed;

    const int u = view.unit();
    const uint8_t s = view.sequence();
    if (u < kMuxTableUnits && m_lastOrigin[size_t(u)] != origin) {
        m_lastOrigin[size_t(u)] = origin;
        m_lastSequence[size_t(u)] = uint8_t(s - 1);  // whatever it is, this one follows
    }
    if (u < kMuxTableUnits) {
        if (s == m_lastSequence[size_t(u)]) return MuxResult::Duplicate;
        if (view.dataLength() == 0) {
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
    // Remembered before anything is passed on, so a call that re-enters from a consumer sees
    // this record as the unit's last.
    m_lastSequence[size_t(u)] = s;
    const mux::RecordView whole(record, view.wholeLength());
    // By index: a consumer added while the record is handed round gets the next one.
    for (size_t i = 0; i < m_consumers.size(); ++i) m_consumers[i]->takeRecordFrom(origin, whole);
    return MuxResult::Accepted;
}

void ParsedDataTap::takeRecord(const mux::RecordView& record) {
    if (!m_selection.on || m_selection.source != int(RawSource::ParsedData) || record.unit() != m_selection.unit)
        return;
    const int section = m_selection.portIndex + 1;
    const std::span<const uint8_t> bytes = record.section(section);
    if (bytes.empty()) return;
    if (section != mux::kSections) {
        m_parsed.add(bytes.data(), bytes.size());
        return;
    }
    // The analog data is binary: one line of hex bytes a record, not garbled characters.
    std::string line;
    line.reserve(bytes.size() * 3 + 2);
    for (uint8_t b : bytes) line += format("%02X ", b);
    line.back() = '\r';
    line += '\n';
    m_parsed.add(reinterpret_cast<const uint8_t*>(line.data()), line.size());
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
