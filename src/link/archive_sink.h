#pragma once
// Where the stream hands each accepted record for the archive: the archive recorder. The
// stream only knows that a record goes in and whether its write succeeded.
#include <cstddef>
#include <cstdint>

namespace cv {

class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    // Appends one archive record (a mux record whose header fields are already in host order)
    // while recording in mode 2 (one file), 3 (hourly files) or 4 (daily files); in modes 3
    // and 4 the recorder opens its file first when it is closed. False when the write failed.
    virtual bool appendRecord(const uint8_t* record, size_t length, int recordingMode) = 0;
};

} // namespace cv
