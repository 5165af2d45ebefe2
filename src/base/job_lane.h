#pragma once
// A single worker thread that runs jobs one after another, in the order they were handed over,
// so that file work which may stall on a device never runs on the thread that reads the logger.
// Each job returns an answer that runs back on the handing thread at its next collect(), again
// in order. The number of jobs waiting is bounded: tryPost refuses a job rather than letting the
// queue grow, and the caller decides what a refusal means.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
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

    explicit JobLane(size_t capacity, Mode mode = Mode::Threaded);
    // Every job handed over still runs: nothing accepted is dropped.
    ~JobLane();
    JobLane(const JobLane&) = delete;
    JobLane& operator=(const JobLane&) = delete;

    // Hands a job over unless `capacity` jobs are already waiting.
    bool tryPost(Job job);
    // Hands a job over whatever the count: for the few jobs that start or end a piece of work,
    // which must not be refused and are never more than a handful.
    void post(Job job);
    bool hasRoom() const;
    // Jobs handed over and not yet finished.
    size_t pending() const;

    // Runs the answers of finished jobs, oldest first. An answer that calls collect() again
    // (a box with its own message loop) finds nothing to do: the outer call goes on in order.
    void collect();
    // Waits until every job handed over has finished (end of work, tests); answers still wait
    // for collect().
    void waitIdle();
    // Called on the lane's thread each time an answer is ready, e.g. to queue a collect() on the
    // handing thread's event loop. Set before the first job.
    void setAnswerReady(std::function<void()> notify) { m_answerReady = std::move(notify); }
    // For a job to say it has news (progress) without finishing.
    void notifyHandingThread() const {
        if (m_answerReady) m_answerReady();
    }

private:
    void run();

    const size_t m_capacity;
    const Mode m_mode;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    std::deque<Answer> m_answers;
    size_t m_running = 0;  // jobs taken off the queue and not finished
    bool m_stop = false;
    bool m_collecting = false;
    std::function<void()> m_answerReady;
    std::thread m_thread;
};

} // namespace cv
