#pragma once
// Archive files in memory on a store whose every call waits while the test holds it stalled,
// as a network share that stops answering does.
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "archive/archive_files.h"

namespace cv::test {

struct StallingFiles : ArchiveFiles {
    std::mutex mutex;
    std::condition_variable released;
    bool stalled = false;
    std::map<std::string, std::vector<uint8_t>> files;
    std::map<int, std::string> handles;
    int next = 3;

    void stall(bool on) {
        {
            std::lock_guard lock(mutex);
            stalled = on;
        }
        released.notify_all();
    }
    std::unique_lock<std::mutex> gate() {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return !stalled; });
        return lock;
    }
    int open(const std::string& path, bool truncate) override {
        auto lock = gate();
        if (truncate) files[path].clear();
        files[path];
        handles[next] = path;
        return next++;
    }
    int64_t size(int h) override {
        auto lock = gate();
        return int64_t(files[handles.at(h)].size());
    }
    long write(int h, const uint8_t* data, size_t count) override {
        auto lock = gate();
        auto& f = files[handles.at(h)];
        f.insert(f.end(), data, data + count);
        return long(count);
    }
    bool truncate(int h, int64_t length) override {
        auto lock = gate();
        files[handles.at(h)].resize(size_t(length));
        return true;
    }
    bool flush(int) override { return gate().owns_lock(); }
    void close(int h) override {
        auto lock = gate();
        handles.erase(h);
    }
};

} // namespace cv::test
