#pragma once
// Large-block file access for extraction: run files are read and output files written in big
// chunks through buffers of a fixed size, so memory does not grow with the file and no call
// reaches the system per record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "extract/output_store.h"

namespace cv {

// Sequential binary input for the reader: a read that comes up short is the end of the input.
// It reads a file, or bytes that are already in memory as if they were one.
class InputFile {
public:
    static constexpr size_t kChunkSize = 256 * 1024;
    // Bytes already read that stay in the buffer across a refill, so a short step back never
    // has to go to the file.
    static constexpr size_t kLookBack = 16;

    bool open(const std::filesystem::path& path);
    // The bytes are read where they are: they must stay in place until close or the next open.
    void openBytes(const uint8_t* data, size_t size);
    void close();

    // Copies up to count bytes and returns how many there were.
    size_t read(uint8_t* destination, size_t count) {
        if (count > m_end - m_pos) return readAcrossRefill(destination, count);
        std::memcpy(destination, m_data + m_pos, count);  // the common case: the bytes are at hand
        m_pos += count;
        return count;
    }
    uint64_t position() const { return m_bufferOffset + m_pos; }
    // The size the input had when it was opened (0 when the system could not say).
    uint64_t size() const { return m_size; }
    void seek(uint64_t position);
    void moveToEnd();

private:
    bool refill();
    size_t readAcrossRefill(uint8_t* destination, size_t count);

    std::filebuf m_file;
    std::vector<uint8_t> m_buffer;
    const uint8_t* m_data = nullptr;  // the bytes at hand: m_buffer, or the caller's bytes
    size_t m_pos = 0;
    size_t m_end = 0;
    uint64_t m_bufferOffset = 0;  // file position of m_data[0]
    uint64_t m_size = 0;
};

// A binary output file created empty, written through a fixed buffer.
class OutputFile : public OutputSink {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    OutputFile() = default;
    ~OutputFile() override { close(); }

    bool create(const std::filesystem::path& path);

private:
    bool put(const uint8_t* data, size_t count) override;
    bool end() override;
    bool flush();

    std::filebuf m_file;
    std::vector<uint8_t> m_buffer;
    size_t m_fill = 0;
};

} // namespace cv
