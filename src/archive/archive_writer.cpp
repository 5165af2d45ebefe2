#include "archive/archive_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "base/text_format.h"

namespace cv {

using namespace timeindex;

namespace {

int64_t minuteOf(int64_t ms) { return ms >= 0 ? ms / 60000 : (ms - 59999) / 60000; }

// Writes all of `data` or as much as the file takes; the count written and the error that stopped it.
size_t writeAll(ArchiveFiles& files, int handle, const uint8_t* data, size_t length, int& error) {
    size_t done = 0;
    while (done < length) {
        const long n = files.write(handle, data + done, length - done);
        if (n <= 0) {
            error = n < 0 ? int(-n) : ENOSPC;
            break;
        }
        done += size_t(n);
    }
    return done;
}

WriterEvent event(WriterEvent::Kind kind, const std::string& name) {
    WriterEvent e;
    e.kind = kind;
    e.name = name;
    return e;
}

} // namespace

WriterEvent ArchiveWriter::start(const std::string& name, bool truncate, bool keepOpen) {
    close();
    m_partialFiles.clear();
    m_brokenIndexes.clear();
    m_target = name;
    // A file only measured has no index yet: one is made beside it with its first record.
    const int error = open(name, truncate, keepOpen);
    if (error != 0) {
        WriterEvent refused = event(WriterEvent::StartRefused, name);
        refused.error = error;
        return refused;
    }
    WriterEvent opened = event(WriterEvent::Opened, name);
    opened.bytes = m_size;
    if (!keepOpen) close();
    return opened;
}

int ArchiveWriter::open(const std::string& name, bool truncate, bool withIndex) {
    close();
    const int handle = m_files.open(name, truncate);
    if (handle < 0) return -handle;
    m_fd = handle;
    m_fileName = name;
    m_size = m_files.size(m_fd);
    m_last = Taken{};
    m_taken = 0;
    const std::string indexName = name + kSuffix;
    if (!withIndex || !m_files.regularFile(handle) || m_brokenIndexes.count(indexName)) return 0;
    // An empty archive empties its index too, so the index never names records it does not hold.
    const int index = m_files.open(indexName, truncate || m_size == 0);
    if (index < 0) return 0;  // recording goes on without times
    m_indexFd = index;
    m_indexSize = m_files.size(index);
    if (m_indexSize == 0 && !writeIndex(kHeader)) closeIndex();
    return 0;
}

std::string ArchiveWriter::withSuffix(const std::string& name) const {
    // A file that ends in a partial record takes no more: the same name with "-2", "-3"...
    std::string numbered = name;
    for (int n = 2; m_partialFiles.count(numbered); ++n) numbered = name + "-" + std::to_string(n);
    return numbered;
}

void ArchiveWriter::append(const std::vector<uint8_t>& record, int64_t arrivalMs, std::vector<WriterEvent>& events) {
    if (m_fd < 0) {
        const std::string name = withSuffix(m_target);
        const int error = open(name, false, true);
        if (error != 0) {
            WriterEvent lost = event(WriterEvent::Lost, name);
            lost.error = error;
            lost.action = "open";
            events.push_back(lost);
            return;
        }
        WriterEvent opened = event(WriterEvent::Opened, name);
        opened.bytes = m_size;
        events.push_back(opened);
    }
    int error = 0;
    const size_t done = writeAll(m_files, m_fd, record.data(), record.size(), error);
    if (done > 0) m_unflushed = true;
    if (done == record.size()) {
        const int64_t offset = m_size;
        m_size += int64_t(record.size());
        WriterEvent written = event(WriterEvent::Written, m_fileName);
        written.bytes = int64_t(record.size());
        events.push_back(written);
        noteTaken(offset, arrivalMs);
        return;
    }
    const std::string failed = m_fileName;
    // A record cut short would shift every later one for a reader: take the part back, so the
    // file stays whole records. Where that fails the file takes nothing more, and recording goes
    // on in a new file whose name says so.
    if (done > 0 && !m_files.truncate(m_fd, m_size)) {
        m_partialFiles.insert(failed);
        WriterEvent partial = event(WriterEvent::Partial, failed);
        partial.next = withSuffix(m_target);
        events.push_back(partial);
    }
    // Closed, so the next record opens the file again: a storage that went away and came back
    // is found, and a full disk that has room again takes the next record.
    close();
    WriterEvent lost = event(WriterEvent::Lost, failed);
    lost.error = error;
    lost.action = "write to";
    events.push_back(lost);
}

void ArchiveWriter::flush() {
    anchorLast(true);
    if (m_fd >= 0 && m_unflushed) m_files.flush(m_fd);
    m_unflushed = false;
    if (m_indexFd >= 0 && m_indexUnflushed) m_files.flush(m_indexFd);
    m_indexUnflushed = false;
}

void ArchiveWriter::close() {
    if (m_fd < 0) return;
    flush();
    m_files.close(m_fd);
    m_fd = -1;
    closeIndex();
}

void ArchiveWriter::closeIndex() {
    if (m_indexFd >= 0) m_files.close(m_indexFd);
    m_indexFd = -1;
    m_indexUnflushed = false;
}

bool ArchiveWriter::writeIndex(const std::string& text) {
    if (m_indexFd < 0) return false;
    int error = 0;
    const size_t done = writeAll(m_files, m_indexFd, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error);
    if (done > 0) m_indexUnflushed = true;
    if (done == text.size()) {
        m_indexSize += int64_t(done);
        return true;
    }
    // Times are worth less than records: an index that cannot be cut back to whole lines is
    // given up for this file, and the recording goes on.
    if (done > 0 && !m_files.truncate(m_indexFd, m_indexSize)) {
        m_brokenIndexes.insert(m_fileName + kSuffix);
        closeIndex();
    }
    return false;
}

// Anchors for the first record after an open, the first of a new minute, both sides of a pause,
// and the record before any whose pace since the last anchor would place a record between them
// more than kPlacementMs away from when it arrived.
void ArchiveWriter::noteTaken(int64_t offset, int64_t arrivalMs) {
    const int64_t number = m_taken++;
    if (m_last.offset < 0) {
        m_last = Taken{offset, arrivalMs, number, false};
        anchorLast();
        return;
    }
    const int64_t step = arrivalMs - m_last.ms;
    const bool pause = step > kPauseMs || step < 0;
    const bool newMinute = minuteOf(arrivalMs) != minuteOf(m_last.ms);
    const double span = double(number - m_runNumber);
    const double pace = double(arrivalMs - m_runMs) / span;
    if (pause || pace < m_paceLow || pace > m_paceHigh) anchorLast(pause);
    m_last = Taken{offset, arrivalMs, number, false};
    if (pause || newMinute) {
        anchorLast(pause);
        return;
    }
    // Later runs that end past this record must place it well too.
    const double fromRun = double(number - m_runNumber);
    m_paceLow = std::max(m_paceLow, double(arrivalMs - kPlacementMs - m_runMs) / fromRun);
    m_paceHigh = std::min(m_paceHigh, double(arrivalMs + kPlacementMs - m_runMs) / fromRun);
}

void ArchiveWriter::anchorLast(bool endsARun) {
    if (m_last.offset < 0 || m_last.anchored) return;
    m_last.anchored = true;
    m_runNumber = m_last.number;
    m_runMs = m_last.ms;
    m_paceLow = -std::numeric_limits<double>::infinity();
    m_paceHigh = std::numeric_limits<double>::infinity();
    const std::string line = format("%lld %lld\r\n", static_cast<long long>(m_last.offset),
                                    static_cast<long long>(m_last.ms));
    // The file's first anchor always goes in; the others only while the index stays within
    // its share of the archive.
    const bool first = m_indexSize <= int64_t(std::strlen(kHeader));
    const int archivePerByte = endsARun ? kArchivePerIndexByte : kArchivePerSteadyIndexByte;
    if (!first && (m_indexSize + int64_t(line.size())) * archivePerByte > m_size) return;
    writeIndex(line);
}

} // namespace cv
