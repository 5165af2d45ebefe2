#pragma once
// The record layout of a run file as the logger writes it into flash: a little-endian 16-bit
// payload size, a 16-bit record type, then the payload, records back to back with no file
// header and no end marker.
#include <cstddef>
#include <cstdint>

namespace cv {

constexpr size_t kRunRecordHeaderLength = 4;
constexpr int kMinRecordSize = 1;
constexpr int kMaxRecordSize = 2080;
// Type 26 passes the header test although no record of that type exists; it is then reported as
// unknown, as the logger's own reader does.
constexpr int kMinRecordType = 1;
constexpr int kMaxRecordType = 26;

// A time-tagged record whose time bytes read 0D 0A 20 2A is a marker the logger leaves in the
// stream; it carries no data.
constexpr uint32_t kMarkerTime = 0x2A200A0Du;

enum RunRecordType : int {
    kMeter1 = 1,           // ..4: raw bytes of serial ports 1..4
    kArchiveMux1 = 5,      // ..8: time, then raw bytes of serial ports 1..4
    kBattery = 9,
    kTimeStamp = 10,
    kSummaryRecord = 11,
    kAnalogRaw = 12,
    kAnalogTimed = 13,
    kArchiveTime = 14,
    kMeter5 = 15,          // ..18: raw bytes of serial ports 5..8
    kArchiveMux5 = 19,     // ..22: time, then raw bytes of serial ports 5..8
    kArchiveKrMux = 23,    // one complete archive record, header fields big-endian
    kSenderUnitId = 24,
    kArchiveHeader = 25,
};

inline bool headerIsValid(int size, int type) {
    return size >= kMinRecordSize && size <= kMaxRecordSize && type >= kMinRecordType &&
           type <= kMaxRecordType;
}

// Section 1..8 of the serial port a METER record carries, 0 for any other type.
inline int meterSection(int type) {
    if (type >= 1 && type <= 4) return type;
    if (type >= 15 && type <= 18) return type - 10;
    return 0;
}

// Section 1..9 a time-tagged record fills (9 = analog), 0 for any other type. ARCHIVETime is
// time-tagged but fills no section.
inline int timedSection(int type) {
    if (type >= 5 && type <= 8) return type - 4;
    if (type >= 19 && type <= 22) return type - 14;
    if (type == kAnalogTimed) return 9;
    return 0;
}

inline bool isTimeTagged(int type) { return timedSection(type) != 0 || type == kArchiveTime; }

} // namespace cv
