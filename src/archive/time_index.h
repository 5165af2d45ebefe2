#pragma once
// Reads the time index the recorder writes beside an archive file (its name with ".utc"): the
// UTC time each record arrived at the host, which the records themselves do not carry. An
// anchor gives the time of the record at its byte offset; a record between two anchors is placed
// by its place in the record order, linearly between them; a record after the last anchor has
// the last anchor's time. A record before the first anchor has no time: nothing says when it came.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TimeIndex {
public:
    struct Anchor {
        uint64_t offset = 0;
        int64_t utcMs = 0;  // milliseconds since 1970-01-01T00:00:00Z
        bool operator==(const Anchor&) const = default;
    };

    // The index's text. A last line without its line end may have been cut by a crash and is
    // left out. Nothing, with `fault` set, where the text is not a time index.
    static std::optional<TimeIndex> parse(std::string_view text, std::string& fault);
    // The index beside `archivePath`: nothing with `fault` empty where there is none, nothing
    // with `fault` set where it cannot be read or is damaged. Anchors at or past the archive's
    // length (records cut off since) are left out.
    static std::optional<TimeIndex> load(const std::string& archivePath, uint64_t archiveLength, std::string& fault);
    static std::string pathBeside(const std::string& archivePath) { return archivePath + ".utc"; }

    const std::vector<Anchor>& anchors() const { return m_anchors; }
    // Whether placing records between anchors needs countRecord() to have seen every record first.
    bool needsCount() const { return m_anchors.size() > 1; }

    // A first walk gives the offset of every record in file order, so records between two
    // anchors can be spread by their order.
    void countRecord(uint64_t offset);
    // Then the second walk takes each record's time, in the same order.
    std::optional<int64_t> place(uint64_t offset);

private:
    size_t intervalOf(uint64_t offset, size_t from) const;

    std::vector<Anchor> m_anchors;
    std::vector<uint64_t> m_records;  // records from each anchor up to the next
    size_t m_countAt = 0;
    size_t m_placeAt = 0;
    uint64_t m_placed = 0;  // records placed so far in the interval m_placeAt
};

// "2026-12-08T14:02:03.710Z".
std::string utcText(int64_t utcMs);

} // namespace cv
