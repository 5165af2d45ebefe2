#include "memory/run_directory.h"

#include "base/bytes.h"
#include "base/logger_codes.h"
#include "base/text_format.h"
#include "memory/upload_view.h"
#include "ports/operator_dialogs.h"

namespace cv {

namespace {
const char* const kOverloadTitle = "File System Overload";
const char* const kOverloadText = "More than 512 files found recorded";
const char* const kMismatchTitle = "**** Warning - Run Directory Error ****";
const char* const kMismatchText =
    "The Logger Directory maybe missing files, Press 'Get Logger Directory' to Reload";

// Port types that are not a serial instrument: none set, off, or driving a pump.
bool isSerialInstrument(int portType) {
    return portType != -1 && portType != porttype::kOff && portType != porttype::kPump;
}
constexpr int kAnalogInUse = 1;
constexpr int kAnalogPump = 2;
} // namespace

DirectoryEntry DirectoryEntry::decode(std::span<const uint8_t, kDirectoryEntryLength> packet) {
    const uint8_t* p = packet.data();
    DirectoryEntry e;
    e.runNumber = getI16le(p + 2);
    e.mode = getI16le(p + 4);
    for (size_t i = 0; i < e.portType.size(); ++i) e.portType[i] = getI16le(p + 8 + 2 * i);
    for (size_t i = 0; i < e.analogUse.size(); ++i) e.analogUse[i] = getI16le(p + 26 + 2 * i);
    for (size_t i = 0; i < e.pump.size(); ++i) e.pump[i] = getI16le(p + 40 + 2 * i);
    e.startTime = getU32le(p + 48);
    e.size = getU32le(p + 52);
    e.startMillivolts = getI16le(p + 56);
    e.endMillivolts = getI16le(p + 58);
    return e;
}

std::string modeText(int mode) {
    switch (mode) {
    case 0: return " PROF  ";
    case 1: return " MOOR  ";
    case 3: return " ANLG  ";
    case 12: return " POLL  ";
    case 13: return " NONE  ";
    default: break;
    }
    if (mode >= 4 && mode <= 11) return format(" Port%d ", mode - 3);
    return " ERR   ";
}

std::string directoryRowText(const DirectoryEntry& e) {
    std::string row = format(" %03d    ", e.runNumber);
    row += modeText(e.mode);
    // The logger's clock is already local wall-clock time: no zone or daylight correction.
    row += formatTime("   %m/%d/%y  %H:%M:%S", wallClockFields(int64_t(e.startTime)));
    row += format(" %6.1f %6.1f ", e.startMillivolts * 0.001, e.endMillivolts * 0.001);
    const long size = long(e.size);
    row += size < 1024 ? format("%12ld  ", size) : format("%12ld K", size >> 10);

    row += "  Serial:";
    for (size_t i = 0; i < e.portType.size(); ++i)
        if (isSerialInstrument(e.portType[i])) row += format(" %1d", int(i + 1));
    row += "  Analog:";
    for (size_t i = 0; i < e.analogUse.size(); ++i)
        if (e.analogUse[i] == kAnalogInUse) row += format(" %1d", int(i + 1));
    row += "  Pumps:";
    for (size_t i = 0; i < e.pump.size(); ++i)
        if (e.pump[i] == 1) row += format(" %1d", int(i + 1));
    for (size_t i = 0; i < e.portType.size(); ++i)
        if (e.portType[i] == porttype::kPump) row += format(" S%1d", int(i + 1));
    for (size_t i = 0; i < e.analogUse.size(); ++i)
        if (e.analogUse[i] == kAnalogPump) row += format(" A%1d", int(i + 1));
    return row;
}

std::string directoryHeadingText() {
    // Character columns of the row format: " %03d    " puts the number at 1..3, the mode text
    // starts at 8 with a blank, the date at 18 and the time at 28; " %6.1f %6.1f " ends the
    // two voltages at 42 and 49, and "%12ld" ends the size at 62.
    struct Heading {
        size_t column;
        const char* word;
    };
    static constexpr Heading kHeadings[] = {{0, "Run #"}, {9, "Mode"},   {18, "Date"}, {28, "Time"},
                                            {38, "Start"}, {47, "End"}, {59, "Size"}};
    std::string line;
    for (const Heading& h : kHeadings) {
        line.resize(h.column, ' ');
        line += h.word;
    }
    return line;
}

RunDirectory::RunDirectory(WarningBox& warnings, UploadView& view) : m_warnings(warnings), m_view(view) {}

void RunDirectory::reset() {
    m_slots.fill(DirectorySlot{});
    m_count = 0;
}

void RunDirectory::clearWarned() {
    m_warned = false;
    m_fullWarned = false;
}

void RunDirectory::clearRows() {
    m_rowSlots.clear();
    m_view.clearRows();
}

int RunDirectory::slotOfRow(int row) const {
    if (row < 0 || row >= rowCount()) return -1;
    return m_rowSlots[size_t(row)];
}

void RunDirectory::clearUploadFlags() {
    for (auto& s : m_slots) s.uploadFlag = false;
}

int RunDirectory::firstFlaggedSlot() const {
    for (int i = 0; i < kDirectorySlots; ++i)
        if (m_slots[size_t(i)].uploadFlag) return i;
    return -1;
}

// Every change of state happens before a box opens: entries keep arriving from the receive
// tick while a box's message loop runs, and each must find the table consistent.
void RunDirectory::entryArrived(std::span<const uint8_t, kDirectoryEntryLength> packet) {
    const DirectoryEntry entry = DirectoryEntry::decode(packet);
    m_view.setStatusText(format("Run Number: %d", entry.runNumber));

    if (entry.runNumber >= kDirectorySlots) {
        m_warnings.show(kOverloadTitle, kOverloadText);
        return;
    }
    if (m_count >= kDirectorySlots) {
        // Lower run numbers beyond 512 entries (the same runs sent twice): the table is full.
        if (!m_fullWarned) {
            m_fullWarned = true;
            m_warnings.show(kOverloadTitle, kOverloadText);
        }
        return;
    }

    const int index = m_count++;
    DirectorySlot& s = m_slots[size_t(index)];
    s.runNumber = entry.runNumber;
    s.size = int64_t(entry.size);
    s.uploadFlag = false;

    m_rowSlots.push_back(index);
    m_view.appendRow(directoryRowText(entry));

    if (rowCount() != m_count && !m_warned) {
        m_warned = true;
        m_warnings.show(kMismatchTitle, kMismatchText);
    }
}

} // namespace cv
