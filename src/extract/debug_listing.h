#pragma once
// log.dat: one line per record header the reader looks at, valid or not, so a damaged run file
// can be followed byte by byte. Written only while the operator's debug switch is on.
#include <cstdint>
#include <filesystem>
#include <string>

#include "extract/buffered_file.h"

namespace cv {

class DebugListing {
public:
    static constexpr const char* kFileName = "log.dat";

    // Creates the listing empty; false when it cannot be created (the listing is then skipped).
    bool start(const std::filesystem::path& path);
    bool isActive() const { return m_file.isOpen(); }

    // One header as read, before it is validated. An ARCHIVE KRMUX line stays open for the
    // record's time.
    void listHeader(int type, int size);
    // Completes an open ARCHIVE KRMUX line with the record's time and its step from the
    // previous listed time, both in tenths.
    void listTime(int32_t time);
    // Ends the listing; an ARCHIVE KRMUX line still open is ended first.
    void finish();

    // The text of one header, without the line end.
    static std::string headerText(int type, int size);

private:
    void endLine();

    OutputFile m_file;
    bool m_lineOpen = false;
    int64_t m_previousTime = 0;
};

} // namespace cv
