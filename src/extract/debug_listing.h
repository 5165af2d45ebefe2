#pragma once
// log.dat: one line per record header the reader looks at, valid or not, so a damaged run file
// can be followed byte by byte. Written only while the operator's debug switch is on.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "extract/output_store.h"

namespace cv {

class DebugListing {
public:
    static constexpr const char* kFileName = "log.dat";

    // Creates the listing (kFileName) empty; false when it cannot be created (the listing is
    // then skipped).
    bool start(OutputStore& outputs);

    // One header as read, before it is validated. An ARCHIVE KRMUX line stays open for the
    // record's time.
    void listHeader(int type, int size);
    // Completes an open ARCHIVE KRMUX line with the record's time and its step from the
    // previous listed time, both in tenths.
    void listTime(int32_t time);
    // Ends the listing; an ARCHIVE KRMUX line still open is ended first.
    void finish();

private:
    // A damaged stretch of a run file gives a line for every byte: lines gather here and go to
    // the output a few thousand bytes at a time.
    static constexpr size_t kPendingSize = 4096;
    static constexpr size_t kLongestHeaderLine = 64;

    void endLine();
    void append(std::string_view text);
    void flush();

    std::unique_ptr<OutputSink> m_file;
    std::array<char, kPendingSize> m_pending;
    size_t m_fill = 0;
    bool m_lineOpen = false;
    int64_t m_previousTime = 0;
};

} // namespace cv
