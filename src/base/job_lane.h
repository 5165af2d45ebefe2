#pragma once
// A single worker thread that does the file work of a timer-driven owner (opening, writing,
// flushing, reading files on a disk or a share that may stall) one job after another, in the
// order handed over, so that the owner's ticks never wait on a device. Each job returns an
// answer that runs back on the handing thread at its next collect(), again in order. What waits
// is bounded: tryPost refuses a job that would pass the capacity at once, and the owner decides
// what a refusal means. A job stuck in a call that does not return (a stalled share, a FIFO
// nobody reads) holds only this thread: the owner may give up on it and go on with a new lane.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

namespace cv {

class JobLane {
public:
    using Answer = std::function<void()>;
    using Job = std::function<Answer()>;

    enum class Mode {
        Threaded,  // jobs run on the lane's own thread
        Inline,    // each job and its answer run at once on the caller's thread (tests, tools)
    };

    // At most `capacity` units wait at once, in the owner's measure (jobs, bytes of a record).
    explicit JobLane(size_t capacity, Mode mode = Mode::Threaded);
    // Every job handed over still runs before this returns: nothing accepted is dropped. A lane
    // given up on (abandon()) is not waited for.
    ~JobLane();
    JobLane(const JobLane&) = delete;
    JobLane& operator=(const JobLane&) = delete;

    // Hands a job of `weight` units over unless it would pass the capacity (or the lane was
    // given up on); a refused job is dropped. Never waits.
    bool tryPost(Job job, size_t weight = 1);
    // Hands a job over whatever the queue holds: for the few jobs that start or end a piece of
    // work, which must not be refused and are never more than a handful. Its weight still
    // counts against the room left.
    void post(Job job, size_t weight = 1);
    bool hasRoom() const;
    // Jobs handed over and not yet finished.
    size_t pending() const;

    // Runs the answers of finished jobs, oldest first. An answer that calls collect() again
    // (a box with its own message loop) finds nothing to do: the outer call goes on in order.
    void collect();
    // Waits until every job handed over has finished (end of work, tests); answers still wait
    // for collect(). Never from a tick.
    void waitIdle();
    // The same for at most `timeout`: false when jobs are still going (start-up and shutdown of
    // a recording, which may then give up).
    bool waitIdle(std::chrono::milliseconds timeout);
    // Drops the jobs not started and the answers not collected, and lets the thread go without
    // waiting for its present job: it ends by itself when that job returns, and nothing it
    // answers is seen. Nothing posted afterwards is taken.
    void abandon();

    // Called on the lane's thread each time an answer is ready, e.g. to queue a collect() on the
    // handing thread's event loop. Set before the first job.
    void setAnswerReady(std::function<void()> notify);
    // For a job to say it has news (progress) without finishing.
    void notifyHandingThread() const;

private:
    struct Shared;
    static void run(Shared& shared);
    bool hand(Job& job, size_t weight, bool bounded);

    const size_t m_capacity;
    const Mode m_mode;
    // Kept alive by the thread too, so a thread given up on can end after its owner is gone.
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    bool m_collecting = false;
};

} // namespace cv
