#pragma once
// Large-block file access for extraction: run files are read and output files written in big
// chunks through buffers of a fixed size, so memory does not grow with the file and no call
// reaches the system per record.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace cv {

// Sequential binary input that behaves like a C stream for the reader's purposes: a read that
// comes up short raises the end indicator, and moving the position clears it.
class InputFile {
public:
    static constexpr size_t kChunkSize = 256 * 1024;
    // Bytes already read that stay in the buffer across a refill, so a short step back never
    // has to go to the file.
    static constexpr size_t kLookBack = 16;

    bool open(const std::filesystem::path& path);
    bool isOpen() const { return m_file.is_open(); }
    void close();

    // Copies up to count bytes and returns how many there were.
    size_t read(uint8_t* destination, size_t count);
    bool atEnd() const { return m_atEnd; }
    uint64_t position() const { return m_bufferOffset + m_pos; }
    void seek(uint64_t position);
    void moveToEnd();

private:
    bool refill();

    std::filebuf m_file;
    std::vector<uint8_t> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    uint64_t m_bufferOffset = 0;  // file position of m_buffer[0]
    bool m_atEnd = false;
};

// A binary output file created empty, written through a fixed buffer. A failed write is
// remembered, and the file is not touched again after that.
class OutputFile {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { close(); }

    bool create(const std::filesystem::path& path);
    bool isOpen() const { return m_file.is_open(); }
    void write(const uint8_t* data, size_t count);
    void write(std::string_view text) { write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // Flushes and closes; false when any write since create failed.
    bool close();
    bool failed() const { return m_failed; }
    uint64_t bytesWritten() const { return m_written; }

private:
    void flush();

    std::filebuf m_file;
    std::vector<uint8_t> m_buffer;
    size_t m_fill = 0;
    uint64_t m_written = 0;
    bool m_failed = false;
};

} // namespace cv
