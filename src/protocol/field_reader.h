#pragma once
// Reads numbers out of the text an instrument sends on a logger port: one port's bytes become
// lines, a line becomes fields, and a column name ("3:2", "2:GPGGA:2") names one field the same
// way wherever it is used (the plot, the network outputs, cvarchive). A field that is absent,
// empty, not a number or in a sentence whose checksum is wrong is a gap, never a zero: a zero
// in a scientist's table would be a measurement.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/line_ends.h"

namespace cv::fields {

// Ports 1..8 carry instrument text; the ninth section is the analog data.
constexpr int kTextPorts = 8;

// Turns one port's bytes into whole lines. CR, LF and CR LF each end a line once, also when the
// CR and the LF arrive in different feeds; empty lines are skipped. A line may span any number
// of feeds. A line longer than the limit is cut: its head comes out marked as cut (its last
// field may be a number cut short, so nothing in it is read), the rest up to its end is
// dropped, and it is counted. The splitter holds at most one line.
class LineSplitter {
public:
    static constexpr size_t kMaxLine = 4096;

    explicit LineSplitter(size_t maxLine = kMaxLine) : m_maxLine(maxLine) {}

    // Calls line(std::string_view text, bool cut) for each line that ends in `bytes`.
    template <class OnLine>
    void feed(const uint8_t* bytes, size_t length, OnLine&& line) {
        m_ends.feed(
            bytes, length,
            [this](const uint8_t* run, size_t n) {
                if (m_dropping) return;
                const size_t room = m_maxLine - m_line.size();
                if (n > room) {
                    n = room;
                    m_dropping = true;
                    ++m_cutLines;
                }
                m_line.append(reinterpret_cast<const char*>(run), n);
            },
            [&] { end(line); });
    }
    // Ends the line still open, as at the end of the stream.
    template <class OnLine>
    void finish(OnLine&& line) {
        end(line);
        m_ends.reset();
    }
    // Lines longer than the limit so far.
    uint64_t cutLines() const { return m_cutLines; }

private:
    template <class OnLine>
    void end(OnLine& line) {
        if (!m_line.empty()) line(std::string_view(m_line), m_dropping);
        m_line.clear();
        m_dropping = false;
    }

    size_t m_maxLine;
    LineEnds m_ends;
    std::string m_line;
    bool m_dropping = false;
    uint64_t m_cutLines = 0;
};

enum class Checksum {
    None,  // a plain line, or a sentence without "*hh"
    Good,
    Bad,   // wrong, or not two hex digits after '*'
};

struct Field {
    std::string_view text;         // trimmed of blanks
    std::optional<double> value;   // empty: a gap
};

// A line's fields. Its views point into the text given to parseLine.
struct ParsedLine {
    std::string_view sentence;  // "GPGGA" for "$GPGGA,...", empty for a plain line
    std::vector<Field> fields;  // field 1 first; in a sentence, the first after its name
    Checksum checksum = Checksum::None;
    // False for a bad checksum or a cut line: every field reads as a gap.
    bool valid = true;
    // Field `number` (from 1), a gap where it is absent, not a number or the line is not valid.
    std::optional<double> value(int number) const;
};

// A plain line's fields are separated by commas and semicolons when it has any (two in a row
// leave an empty field between them), else by runs of blanks. A sentence ("$NAME,...*hh") is
// split at its commas, its name becomes the key, and its checksum (the XOR of the bytes between
// '$' and '*') is checked.
ParsedLine parseLine(std::string_view line, bool cut = false);

// A number in the common forms: signed, decimal, exponent ("+1.5", "-2", ".5", "1e-3"), with
// blanks around it. Anything else, and a value that is not finite ("nan", "inf", "1e999"), is
// a gap.
std::optional<double> parseNumber(std::string_view text);

// One column: a field of a port's lines, or of one sentence on that port.
struct FieldColumn {
    int port = 0;          // 1..8
    std::string sentence;  // empty: every line of the port
    int field = 0;         // from 1, as an operator counts; in a sentence, after its name

    // Whether this column reads the line at all: a sentence column reads only its own sentence.
    bool reads(const ParsedLine& line) const { return sentence.empty() || line.sentence == sentence; }
    // The value of this column in a line of its port; a gap where the column does not read the line.
    std::optional<double> valueIn(const ParsedLine& line) const;
    // "3:2" or "2:GPGGA:2", as parseFieldColumn reads it.
    std::string text() const;
    bool operator==(const FieldColumn&) const = default;
};

// Reads "PORT:FIELD" or "PORT:SENTENCE:FIELD". On a fault returns nothing and sets `fault` to
// what was expected ("a port from 1 to 8", ...).
std::optional<FieldColumn> parseFieldColumn(std::string_view text, std::string& fault);

} // namespace cv::fields
