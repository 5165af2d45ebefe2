#pragma once
// The file side of a recording, run on the recorder's writer thread only: opens the archive
// file and its time index, writes each record in one piece, cuts a partial record back, flushes
// and closes. It tells what happened in events that the recorder turns into its status and boxes
// on its own tick; it never reads a clock (each record comes with the time it was taken).
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_files.h"

namespace cv {

struct WriterEvent {
    enum Kind { Opened, Written, Lost, Partial, StartRefused };
    Kind kind = Opened;
    std::string name;            // the archive file
    std::string next;            // Partial: the file the recording goes on in
    int64_t bytes = 0;           // Opened: the file's size; Written: the record's length
    int error = 0;               // Lost, StartRefused: an errno value
    const char* action = "";     // Lost: "open" or "write to"
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(ArchiveFiles& files) : m_files(files) {}
    ~ArchiveWriter() { close(); }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // A new recording into `name`: emptied first with `truncate`; with `keepOpen` false the file
    // is only measured (created empty when absent) and closed again. Opened or StartRefused.
    WriterEvent start(const std::string& name, bool truncate, bool keepOpen);
    // The file a record opens when none is open (the hour's or day's file, or the one file).
    void setTarget(const std::string& name) { m_target = name; }
    // One record taken at `arrivalMs` (UTC milliseconds); its events go into `events`.
    void append(const std::vector<uint8_t>& record, int64_t arrivalMs, std::vector<WriterEvent>& events);
    // Puts what was written on the disk, archive and index alike.
    void flush();
    void close();

private:
    // 0, or the errno value that kept the file from opening.
    int open(const std::string& name, bool truncate, bool withIndex);
    std::string withSuffix(const std::string& name) const;
    bool writeIndex(const std::string& text);
    void noteTaken(int64_t offset, int64_t arrivalMs);
    // `endsARun`: the last record before a pause, the first after it, or the last before a
    // flush; these may use the whole share of the index, the others only the steady share.
    void anchorLast(bool endsARun = false);
    void closeIndex();

    ArchiveFiles& m_files;
    int m_fd = -1;
    int m_indexFd = -1;
    bool m_unflushed = false;
    bool m_indexUnflushed = false;
    std::string m_target;
    std::string m_fileName;
    int64_t m_size = 0;        // the archive file's length: every record whole
    int64_t m_indexSize = 0;
    std::set<std::string> m_partialFiles;   // end in a partial record: take nothing more
    std::set<std::string> m_brokenIndexes;  // end in a partial line: take nothing more

    // The time index: the last record written since the file was opened, and the run of records
    // since the last anchor, with the range of paces (ms per record) that places each of them
    // close enough when the run ends at a later record.
    struct Taken {
        int64_t offset = -1;
        int64_t ms = 0;
        int64_t number = 0;
        bool anchored = false;
    };
    Taken m_last;
    int64_t m_taken = 0;  // records written since the file was opened
    int64_t m_runNumber = 0;
    int64_t m_runMs = 0;
    double m_paceLow = 0, m_paceHigh = 0;
};

namespace timeindex {
constexpr const char* kHeader = "KR-8 time index 1\r\n";
constexpr const char* kSuffix = ".utc";
// A record between two anchors is placed within this of when it arrived.
constexpr int64_t kPlacementMs = 500;
// A pause between two records longer than this has an anchor on both sides.
constexpr int64_t kPauseMs = 1000;
// The index never grows past this share of its archive file (its first anchor aside).
constexpr int kArchivePerIndexByte = 50;
// The anchors that keep a steady stream placed (each minute, a change of pace) stop at this
// smaller share, so that both sides of a pause and the last record before a flush, each of which
// places a whole run of records, find room.
constexpr int kArchivePerSteadyIndexByte = 64;
}  // namespace timeindex

} // namespace cv
