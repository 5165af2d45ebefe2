#include "extract/debug_listing.h"

#include "extract/run_record.h"
#include "base/text_format.h"

namespace cv {

namespace {
constexpr const char* kLineEnd = "\r\n";
}

bool DebugListing::start(const std::filesystem::path& path) {
    m_lineOpen = false;
    m_previousTime = 0;
    return m_file.create(path);
}

std::string DebugListing::headerText(int type, int size) {
    if (type >= 1 && type <= 4) return format("METER%d Size %d", type, size);
    if (type >= 5 && type <= 8) return format("ARCHIVEMUX %d Size %d", type - 4, size);
    if (type >= 15 && type <= 18) return format("METER%d Size %d", type - 10, size);
    if (type >= 19 && type <= 22) return format("ARCHIVEMUX %d Size %d", type - 14, size);
    switch (type) {
    case kBattery: return format("BATTERY Size %d", size);
    case kTimeStamp: return format("TIME STAMP Size %d", size);
    case kSummaryRecord: return format("Summary Size %d", size);
    case kAnalogRaw: return format("ANALOG  Size %d", size);
    case kAnalogTimed: return format("ANALOG Size %d", size);
    case kArchiveTime: return format("ARCHIVETime Size %d", size);
    case kArchiveKrMux: return format("ARCHIVE KRMUX Size %d", size);
    case kSenderUnitId: return format("Sender Unit ID Size %d", size);
    case kArchiveHeader: return format("ARCHIVE HEADER Size %d", size);
    default: return format("Unknown Type %d Size %d 0x%04x", type, size, unsigned(size));
    }
}

void DebugListing::endLine() {
    m_file.write(kLineEnd);
    m_lineOpen = false;
}

void DebugListing::listHeader(int type, int size) {
    if (!m_file.isOpen()) return;
    // A KRMUX header that was rejected, or whose record had no time, never got its time: end
    // its line so the next header starts a line of its own.
    if (m_lineOpen) endLine();
    m_file.write(headerText(type, size));
    if (type == kArchiveKrMux)
        m_lineOpen = true;
    else
        endLine();
}

void DebugListing::listTime(int32_t time) {
    if (!m_file.isOpen()) return;
    if (time > 0) {
        int64_t t = time;
        m_file.write(format("\tTime = %lld %lld", static_cast<long long>(t * 10),
                            static_cast<long long>((t - m_previousTime) * 10)));
        m_previousTime = t;
    }
    endLine();
}

void DebugListing::finish() {
    if (!m_file.isOpen()) return;
    if (m_lineOpen) endLine();
    m_file.close();
}

} // namespace cv
