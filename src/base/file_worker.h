#pragma once
// A thread that does the file work of a timer-driven owner (opening, writing, flushing, reading
// files on a disk or a share that may stall) in the order it is handed over, so that the owner's
// ticks never wait on a device. The owner hands over tasks into a bounded queue and, on its own
// tick, collects the replies the tasks sent back; what does not fit the queue is refused at once
// for the owner to count. A task stuck in a call that does not return (a stalled share, a FIFO
// nobody reads) holds only this thread: the owner can give up on it and go on with a new worker.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace cv {

struct FileWorkerShared;

class FileWorker {
public:
    using Reply = std::function<void()>;
    // Where a task sends its replies. It lives as long as the thread, so a task may use it even
    // after the owner gave up on the worker (the replies are then dropped unseen).
    class Outbox {
    public:
        void send(Reply reply);

    private:
        friend class FileWorker;
        explicit Outbox(FileWorkerShared& shared) : m_shared(shared) {}
        FileWorkerShared& m_shared;
    };
    using Task = std::function<void(Outbox&)>;

    // At most `capacity` units wait in the queue at once, in the owner's measure (bytes of a
    // record, tasks of a read-ahead).
    explicit FileWorker(size_t capacity);
    // Never waits on a task: an idle thread is ended and joined; a busy one is given up on
    // (abandon()).
    ~FileWorker();
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    // Queues a task of `weight` units: false, with the task dropped, when it would pass the
    // capacity (or the worker was given up on). Never waits.
    bool post(Task task, size_t weight = 1);
    // Runs, on the caller's thread, every reply sent since the last call, in the order sent.
    // Cheap when there are none: one lock.
    void collect();
    // Waits at most `timeout` until every task handed over has run. For start-up, shutdown
    // and tests only: never from a tick.
    bool waitIdle(std::chrono::milliseconds timeout);
    // Tasks queued or running.
    bool busy() const;
    // Units queued and not yet started.
    size_t queued() const;
    size_t capacity() const { return m_capacity; }
    // Drops the tasks not started and the replies not collected, and lets the thread go: it
    // ends by itself when its present task returns. Nothing posted afterwards is taken.
    void abandon();

private:
    const size_t m_capacity;
    std::shared_ptr<FileWorkerShared> m_shared;
    std::thread m_thread;
};

// What the owner and its thread share; kept alive by both, so a thread given up on can end
// after its owner is gone.
struct FileWorkerShared {
    mutable std::mutex mutex;
    std::condition_variable wake;  // a task came, or the thread must end
    std::condition_variable idle;  // the last task ran
    std::deque<std::pair<FileWorker::Task, size_t>> tasks;
    std::vector<FileWorker::Reply> replies;
    size_t queuedWeight = 0;
    bool running = false;
    bool ending = false;
    bool abandoned = false;
};

} // namespace cv
