#pragma once
// Where extraction puts what it writes. The program writes real files into a folder; the fuzzer
// and tests can keep the outputs in memory instead, so an extraction touches no disk at all.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// One output, created empty. A failed write is remembered, and the output takes nothing more
// after it; close says whether everything written since create arrived.
class OutputSink {
public:
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;
    virtual ~OutputSink() = default;

    bool isOpen() const { return m_open; }
    void write(const uint8_t* data, size_t count);
    void write(std::string_view text) { write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // Ends the output; false when any write since create failed or the end itself failed.
    bool close();
    bool failed() const { return m_failed; }

protected:
    OutputSink() = default;
    // Starts the bookkeeping afresh for a newly created output.
    void begin();
    // Takes bytes; false when they could not be kept.
    virtual bool put(const uint8_t* data, size_t count) = 0;
    // Makes what was put final; called once per output, after a failure too.
    virtual bool end() = 0;

private:
    bool m_open = false;
    bool m_failed = false;
};

class OutputStore {
public:
    virtual ~OutputStore() = default;
    // Creates the named output empty, replacing one of the same name; nothing when it cannot be
    // created.
    virtual std::unique_ptr<OutputSink> create(const std::string& name) = 0;
    // Where the named output is, as the operator is told.
    virtual std::filesystem::path location(const std::string& name) const = 0;
};

// Real files in one folder.
class FileOutputStore : public OutputStore {
public:
    // An output that would be the file being read is refused: a run file named like one of its
    // own outputs (archive.007) must not be emptied while it is read.
    explicit FileOutputStore(std::filesystem::path folder, std::filesystem::path input = {});
    std::unique_ptr<OutputSink> create(const std::string& name) override;
    std::filesystem::path location(const std::string& name) const override { return m_folder / name; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_input;
};

// Outputs kept in memory by name. It can also refuse to create, write or close a named output,
// so a test can rehearse a full disk without one.
class MemoryOutputStore : public OutputStore {
public:
    std::unique_ptr<OutputSink> create(const std::string& name) override;
    std::filesystem::path location(const std::string& name) const override { return name; }

    bool has(std::string_view name) const;
    // The bytes of the named output; empty when there is none.
    const std::vector<uint8_t>& bytes(std::string_view name) const;
    std::string text(std::string_view name) const;
    size_t count() const;
    // Forgets every output but keeps the room they took, so a store used for one extraction
    // after another stops allocating: it holds no more than the largest outputs seen. The
    // refusals stay. No output may be open.
    void clear();

    void refuseCreate(const std::string& name) { m_refusedCreate.insert(name); }
    void refuseWrite(const std::string& name) { m_refusedWrite.insert(name); }
    void refuseClose(const std::string& name) { m_refusedClose.insert(name); }

private:
    struct Output {
        std::vector<uint8_t> bytes;
        bool exists = false;
    };
    std::map<std::string, Output, std::less<>> m_outputs;
    std::set<std::string, std::less<>> m_refusedCreate;
    std::set<std::string, std::less<>> m_refusedWrite;
    std::set<std::string, std::less<>> m_refusedClose;
};

} // namespace cv
