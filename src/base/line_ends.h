#pragma once
// Where instrument lines end. Instruments end their lines with CR, LF or CR LF, and a serial
// read or a record section may stop between the CR and the LF; every reader of instrument text
// (the plot, the network outputs, the exports) must see the same lines, so they all take them
// from here.
#include <cstddef>
#include <cstdint>

namespace cv {

// Cuts a byte stream into runs of line text and line ends. CR, LF and CR LF each end a line
// once, also when the CR and the LF come in different feeds. Two ends in a row ("\r\r",
// "\n\n") make an empty line between them; whoever does not want empty lines skips them. The
// text of a line comes in runs (one per feed it spans at least), never byte by byte: this sits
// on the stream's tick.
class LineEnds {
public:
    static constexpr bool isLineEnd(uint8_t b) { return b == '\r' || b == '\n'; }

    // Calls text(const uint8_t* run, size_t length) for each run of bytes without a line end
    // and end() once for each line end, in the order they come in `bytes`.
    template <class OnText, class OnEnd>
    void feed(const uint8_t* bytes, size_t length, OnText&& text, OnEnd&& end) {
        size_t i = 0;
        if (m_afterCr && length > 0) {
            m_afterCr = false;
            if (bytes[0] == '\n') ++i;  // the LF of a CR LF cut between feeds
        }
        while (i < length) {
            const size_t start = i;
            while (i < length && !isLineEnd(bytes[i])) ++i;
            if (i > start) text(bytes + start, i - start);
            if (i == length) break;
            if (bytes[i++] == '\r') {
                if (i == length) m_afterCr = true;
                else if (bytes[i] == '\n') ++i;
            }
            end();
        }
    }
    // Forgets a CR at the end of the last feed, as at the start of a new stream.
    void reset() { m_afterCr = false; }

private:
    bool m_afterCr = false;
};

} // namespace cv
