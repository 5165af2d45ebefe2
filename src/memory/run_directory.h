#pragma once
// The host's copy of the logger's run directory: one slot per run as the directory entries
// arrive, and the rows of the run list that show them.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/logger_codes.h"
#include "protocol/logger_records.h"

namespace cv {

class UploadView;
class WarningBox;

constexpr int kDirectorySlots = 512;

// The fields of one directory entry (logger packet type 5) the host reads.
struct DirectoryEntry {
    int runNumber = 0;
    int mode = 0;
    std::array<int, kLoggerSerialPorts> portType{};   // ports 1..8
    std::array<int, kAnalogChannels> analogUse{};  // analog channels 1..7
    std::array<int, kPumps> pump{};       // pumps 1..4
    uint32_t startTime = 0;          // logger wall-clock seconds since 1970
    uint32_t size = 0;               // bytes
    int startMillivolts = 0;
    int endMillivolts = 0;

    static DirectoryEntry decode(std::span<const uint8_t, kDirectoryEntryLength> packet);
};

// The seven-character mode column of a row.
std::string modeText(int mode);
// The run list row of an entry, columns joined with no separator of their own.
std::string directoryRowText(const DirectoryEntry& entry);
// The column headings of the run list, each over its column of directoryRowText in a
// fixed-pitch font: words over the start of text columns, over the end of number columns.
std::string directoryHeadingText();

struct DirectorySlot {
    int32_t runNumber = 0;
    bool uploadFlag = false;  // waiting in the upload queue
    int64_t size = 0;
};

class RunDirectory {
public:
    RunDirectory(WarningBox& warnings, UploadView& view);

    // Empties the table (run numbers, flags, sizes, count). Rows are the caller's business.
    void reset();
    // Lets the row/slot mismatch warning and the full-table warning appear again.
    void clearWarned();
    // One directory entry as the receiver framed it.
    void entryArrived(std::span<const uint8_t, kDirectoryEntryLength> packet);
    // Empties the run list; the table keeps its contents.
    void clearRows();

    int slotCount() const { return m_count; }
    int rowCount() const { return int(m_rowSlots.size()); }
    const DirectorySlot& slot(int index) const { return m_slots.at(size_t(index)); }
    // The slot a row of the run list shows, or -1 for a row that does not exist.
    int slotOfRow(int row) const;

    void setUploadFlag(int index, bool queued) { m_slots.at(size_t(index)).uploadFlag = queued; }
    void clearUploadFlags();
    int firstFlaggedSlot() const;  // -1 when the queue is empty

private:
    WarningBox& m_warnings;
    UploadView& m_view;
    std::array<DirectorySlot, kDirectorySlots> m_slots{};
    int m_count = 0;
    bool m_warned = false;
    bool m_fullWarned = false;
    // Row k of the run list shows slot m_rowSlots[k]; after the list alone was emptied the rows
    // that follow no longer start at slot 0, and an upload must fetch the run a row shows.
    std::vector<int> m_rowSlots;
};

} // namespace cv
