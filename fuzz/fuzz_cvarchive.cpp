// libFuzzer target: any bytes as an archive file for cvarchive. list, export and verify must
// agree on whether the file is whole; every exported CSV row has the eight columns and is UTF-8;
// an export of fields agrees too and holds only unquoted cells, one per column; and a file cvarchive calls whole replays record for record, as the replay reader walks it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "archive/cvarchive_command.h"
#include "archive/archive_replay.h"
#include "ports/host_clock.h"
#include "fuzz_support.h"

namespace {

// One in-memory file for every input, named through /proc so that the command and the replay
// open it by path as they would a file on disk, without the disk.
int memoryFile() {
    static const int fd = memfd_create("fuzz_cvarchive", 0);
    return fd;
}

const std::string& scratchFile() {
    static const std::string path = "/proc/self/fd/" + std::to_string(memoryFile());
    return path;
}

int run(std::vector<std::string> args, std::string& out) {
    std::ostringstream o, e;
    const int status = cv::runArchiveCommand(args, o, e, false);
    out = o.str();
    return status;
}

// RFC 4180 fields per row; false on a quote out of place.
bool rowsHaveEightFields(const std::string& csv) {
    size_t fields = 1;
    bool quoted = false;
    for (size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < csv.size() && csv[i + 1] == '"') ++i;
                else quoted = false;
            }
        } else if (c == '"') {
            if (i == 0 || (csv[i - 1] != ',' && csv[i - 1] != '\n')) return false;
            quoted = true;
        } else if (c == ',') {
            ++fields;
        } else if (c == '\r') {
            if (i + 1 >= csv.size() || csv[i + 1] != '\n' || fields != 8) return false;
            fields = 1;
            ++i;
        } else if (c == '\n') {
            return false;
        }
    }
    return !quoted && fields == 1;
}

// Numbers and time stamps need no quotes: each CRLF row has exactly `columns` cells.
bool plainRows(const std::string& csv, size_t columns) {
    size_t cells = 1;
    for (size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (c == '"' || c == '\n') return false;
        if (c == ',') ++cells;
        if (c != '\r') continue;
        if (i + 1 >= csv.size() || csv[i + 1] != '\n' || cells != columns) return false;
        cells = 1;
        ++i;
    }
    return cells == 1;
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = uint8_t(s[i]);
        const size_t more = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 9;
        if (more == 9 || i + more >= s.size() + (more == 0)) return false;
        for (size_t k = 1; k <= more; ++k)
            if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return false;
        i += more + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (memoryFile() < 0 || ftruncate(memoryFile(), 0) != 0) return 0;
    if (size > 0 && pwrite(memoryFile(), data, size, 0) != ssize_t(size)) return 0;

    std::string verified, listed, exported;
    const int v = run({"verify", scratchFile()}, verified);
    const int l = run({"list", scratchFile()}, listed);
    const int x = run({"export", scratchFile()}, exported);
    if (v != l || v != x ||
        (v != cv::kArchiveExitOk && v != cv::kArchiveExitFault && v != cv::kArchiveExitWarnings))
        __builtin_trap();
    if (!rowsHaveEightFields(exported) || !validUtf8(exported)) __builtin_trap();
    std::string numbers;
    if (run({"export", "--fields", "1:1,1:GPGGA:2", scratchFile()}, numbers) != v || !plainRows(numbers, 6))
        __builtin_trap();

    if (v == cv::kArchiveExitOk || v == cv::kArchiveExitWarnings) {
        std::FILE* file = std::fopen(scratchFile().c_str(), "rb");
        cv::ArchiveWalker walker(file, size);
        cv::ArchiveRecordInfo r;
        size_t records = 0;
        while (walker.next(r) == cv::ArchiveWalk::Record) ++records;
        std::fclose(file);

        StillClock clock;
        cv::ArchiveReplay replay(clock);
        replay.setSpeed(cv::ArchiveReplay::kMaxSpeed);
        if (!replay.start(scratchFile(), cv::RecordingMode::ReplayOnce)) __builtin_trap();
        static uint8_t buffer[cv::kReceiveBufferSize];
        size_t frames = 0;
        for (size_t tick = 0; tick < 2 * records + 4 && !replay.takeStopRequest(); ++tick)
            if (replay.nextPacket(buffer, sizeof buffer) > 0) ++frames;
        if (frames + replay.skippedRecords() != records) __builtin_trap();
        replay.stop();
    }
    return 0;
}
