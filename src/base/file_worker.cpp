#include "base/file_worker.h"

#include <utility>

namespace cv {

namespace {

void runTasks(const std::shared_ptr<FileWorkerShared>& shared, FileWorker::Outbox& outbox) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->ending || shared->abandoned || !shared->tasks.empty(); });
        if (shared->abandoned || (shared->ending && shared->tasks.empty())) return;
        FileWorker::Task task = std::move(shared->tasks.front().first);
        shared->queuedWeight -= shared->tasks.front().second;
        shared->tasks.pop_front();
        shared->running = true;
        lock.unlock();
        task(outbox);
        task = nullptr;  // what it held goes here, not under the lock
        lock.lock();
        shared->running = false;
        if (shared->tasks.empty()) shared->idle.notify_all();
    }
}

} // namespace

void FileWorker::Outbox::send(Reply reply) {
    std::lock_guard lock(m_shared.mutex);
    if (!m_shared.abandoned) m_shared.replies.push_back(std::move(reply));
}

FileWorker::FileWorker(size_t capacity) : m_capacity(capacity), m_shared(std::make_shared<FileWorkerShared>()) {
    // The thread holds the shared part itself: given up on, it may outlive this object.
    m_thread = std::thread([shared = m_shared] {
        Outbox outbox(*shared);
        runTasks(shared, outbox);
    });
}

FileWorker::~FileWorker() {
    bool idle = false;
    {
        std::lock_guard lock(m_shared->mutex);
        idle = !m_shared->abandoned && !m_shared->running && m_shared->tasks.empty();
        if (idle) m_shared->ending = true;
    }
    if (!idle) {
        abandon();
        return;
    }
    m_shared->wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool FileWorker::post(Task task, size_t weight) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->abandoned || m_shared->queuedWeight + weight > m_capacity) return false;
        m_shared->tasks.emplace_back(std::move(task), weight);
        m_shared->queuedWeight += weight;
    }
    m_shared->wake.notify_one();
    return true;
}

void FileWorker::collect() {
    std::vector<Reply> replies;
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->replies.empty()) return;
        replies.swap(m_shared->replies);
    }
    for (Reply& reply : replies) reply();
}

bool FileWorker::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, timeout, [&] { return !m_shared->running && m_shared->tasks.empty(); });
}

bool FileWorker::busy() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->running || !m_shared->tasks.empty();
}

size_t FileWorker::queued() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->queuedWeight;
}

void FileWorker::abandon() {
    std::deque<std::pair<Task, size_t>> dropped;
    std::vector<Reply> unseen;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->abandoned = true;
        dropped.swap(m_shared->tasks);
        unseen.swap(m_shared->replies);
        m_shared->queuedWeight = 0;
    }
    m_shared->wake.notify_all();
    m_shared->idle.notify_all();
    if (m_thread.joinable()) m_thread.detach();
}

} // namespace cv
