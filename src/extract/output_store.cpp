#include "extract/output_store.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "extract/buffered_file.h"

namespace cv {

void OutputSink::begin() {
    m_open = true;
    m_failed = false;
}

void OutputSink::write(const uint8_t* data, size_t count) {
    if (!m_open || m_failed || count == 0) return;
    if (!put(data, count)) m_failed = true;
}

bool OutputSink::close() {
    if (!m_open) return !m_failed;
    m_open = false;
    if (!end()) m_failed = true;
    return !m_failed;
}

FileOutputStore::FileOutputStore(std::filesystem::path folder, std::filesystem::path input)
    : m_folder(std::move(folder)), m_input(std::move(input)) {}

std::unique_ptr<OutputSink> FileOutputStore::create(const std::string& name) {
    const std::filesystem::path path = location(name);
    std::error_code ec;
    if (!m_input.empty() && std::filesystem::exists(path, ec) && std::filesystem::equivalent(path, m_input, ec))
        return nullptr;
    auto file = std::make_unique<OutputFile>();
    if (!file->create(path)) return nullptr;
    return file;
}

namespace {

class MemorySink : public OutputSink {
public:
    MemorySink(std::vector<uint8_t>& bytes, bool refuseWrite, bool refuseClose)
        : m_bytes(bytes), m_refuseWrite(refuseWrite), m_refuseClose(refuseClose) {
        begin();
    }
    ~MemorySink() override { close(); }

private:
    bool put(const uint8_t* data, size_t count) override {
        if (m_refuseWrite) return false;
        m_bytes.insert(m_bytes.end(), data, data + count);
        return true;
    }
    bool end() override { return !m_refuseClose; }

    std::vector<uint8_t>& m_bytes;
    const bool m_refuseWrite;
    const bool m_refuseClose;
};

} // namespace

std::unique_ptr<OutputSink> MemoryOutputStore::create(const std::string& name) {
    if (m_refusedCreate.count(name)) return nullptr;
    Output& output = m_outputs[name];
    output.exists = true;
    output.bytes.clear();
    return std::make_unique<MemorySink>(output.bytes, m_refusedWrite.count(name) > 0, m_refusedClose.count(name) > 0);
}

bool MemoryOutputStore::has(std::string_view name) const {
    const auto it = m_outputs.find(name);
    return it != m_outputs.end() && it->second.exists;
}

size_t MemoryOutputStore::count() const {
    return size_t(std::count_if(m_outputs.begin(), m_outputs.end(), [](const auto& o) { return o.second.exists; }));
}

void MemoryOutputStore::clear() {
    for (auto& [name, output] : m_outputs) {
        output.exists = false;
        output.bytes.clear();
    }
}

const std::vector<uint8_t>& MemoryOutputStore::bytes(std::string_view name) const {
    static const std::vector<uint8_t> kNone;
    const auto it = m_outputs.find(name);
    return it == m_outputs.end() ? kNone : it->second.bytes;
}

std::string MemoryOutputStore::text(std::string_view name) const {
    const std::vector<uint8_t>& b = bytes(name);
    return std::string(b.begin(), b.end());
}

} // namespace cv
