#include "extract/buffered_file.h"

#include <algorithm>
#include <cstring>

namespace cv {

bool InputFile::open(const std::filesystem::path& path) {
    close();
    m_file.pubsetbuf(nullptr, 0);  // our own buffer does the batching
    if (!m_file.open(path, std::ios::in | std::ios::binary)) return false;
    m_buffer.resize(kChunkSize + kLookBack);
    m_data = m_buffer.data();
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    m_size = ec ? 0 : uint64_t(size);
    return true;
}

void InputFile::openBytes(const uint8_t* data, size_t size) {
    close();
    m_data = data;
    m_end = size;
    m_size = size;
}

void InputFile::close() {
    if (m_file.is_open()) m_file.close();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_data = nullptr;
    m_pos = m_end = 0;
    m_bufferOffset = 0;
    m_size = 0;
}

bool InputFile::refill() {
    if (!m_file.is_open()) return false;
    size_t keep = std::min(m_pos, kLookBack);
    size_t drop = m_pos - keep;
    if (drop > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + drop, m_end - drop);
        m_bufferOffset += drop;
        m_end -= drop;
        m_pos -= drop;
    }
    size_t room = m_buffer.size() - m_end;
    if (room == 0) return false;
    std::streamsize got = m_file.sgetn(reinterpret_cast<char*>(m_buffer.data() + m_end), std::streamsize(room));
    if (got <= 0) return false;
    m_end += size_t(got);
    return true;
}

size_t InputFile::readAcrossRefill(uint8_t* destination, size_t count) {
    size_t copied = 0;
    while (copied < count) {
        if (m_pos == m_end && !refill()) break;
        size_t n = std::min(count - copied, m_end - m_pos);
        std::memcpy(destination + copied, m_data + m_pos, n);
        m_pos += n;
        copied += n;
    }
    return copied;
}

void InputFile::seek(uint64_t position) {
    if (position >= m_bufferOffset && position <= m_bufferOffset + m_end) {
        m_pos = size_t(position - m_bufferOffset);
        return;
    }
    if (!m_file.is_open()) {
        m_pos = m_end;  // bytes in memory: everything is at hand, so this is past their end
        return;
    }
    m_file.pubseekpos(std::streampos(std::streamoff(position)), std::ios::in);
    m_bufferOffset = position;
    m_pos = m_end = 0;
}

void InputFile::moveToEnd() {
    if (!m_file.is_open()) {
        m_pos = m_end;
        return;
    }
    std::streampos end = m_file.pubseekoff(0, std::ios::end, std::ios::in);
    if (end != std::streampos(-1)) m_bufferOffset = uint64_t(std::streamoff(end));
    m_pos = m_end = 0;
}

bool OutputFile::create(const std::filesystem::path& path) {
    close();
    m_file.pubsetbuf(nullptr, 0);
    if (!m_file.open(path, std::ios::out | std::ios::binary | std::ios::trunc)) return false;
    m_buffer.resize(kBufferSize);
    m_fill = 0;
    begin();
    return true;
}

bool OutputFile::flush() {
    const size_t fill = m_fill;
    m_fill = 0;
    return fill == 0 || m_file.sputn(reinterpret_cast<const char*>(m_buffer.data()), std::streamsize(fill)) ==
                            std::streamsize(fill);
}

bool OutputFile::put(const uint8_t* data, size_t count) {
    if (m_fill + count > m_buffer.size()) {
        if (!flush()) return false;
        if (count >= m_buffer.size())
            return m_file.sputn(reinterpret_cast<const char*>(data), std::streamsize(count)) == std::streamsize(count);
    }
    std::memcpy(m_buffer.data() + m_fill, data, count);
    m_fill += count;
    return true;
}

bool OutputFile::end() {
    // After a failed write the rest of the buffer is dropped: the file is not touched again.
    bool ok = !failed() && flush();
    if (!m_file.close()) ok = false;
    m_fill = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return ok;
}

} // namespace cv
