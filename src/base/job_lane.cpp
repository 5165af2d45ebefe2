#include "base/job_lane.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace cv {

// What the owner and its thread share.
struct JobLane::Shared {
    struct Waiting {
        Job job;
        size_t weight;
    };
    mutable std::mutex mutex;
    std::condition_variable wake;  // a job came, or the thread must end
    std::condition_variable idle;  // the last job finished
    std::deque<Waiting> jobs;
    std::deque<Answer> answers;
    size_t queued = 0;   // weight of the jobs waiting
    size_t running = 0;  // jobs taken off the queue and not finished
    bool ending = false;
    bool abandoned = false;
    std::function<void()> answerReady;

    // Nobody waits on a lane given up on.
    bool idleNow() const { return abandoned || (jobs.empty() && running == 0); }
};

void JobLane::run(Shared& s) {
    bool finishedOne = false;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(s.mutex);
            // A job counts as running until its answer is handed back and announced, so nothing
            // is announced to an owner that waited for the lane to be idle.
            if (finishedOne) {
                --s.running;
                if (s.idleNow()) s.idle.notify_all();
            }
            s.wake.wait(lock, [&] { return s.ending || s.abandoned || !s.jobs.empty(); });
            if (s.abandoned || s.jobs.empty()) return;  // given up on, or ending with all run
            job = std::move(s.jobs.front().job);
            s.queued -= s.jobs.front().weight;
            s.jobs.pop_front();
            ++s.running;
        }
        Answer answer = job();
        job = nullptr;  // what it held goes here, not under the lock
        bool announce = false;
        {
            std::lock_guard lock(s.mutex);
            if (!s.abandoned) {
                if (answer) s.answers.push_back(std::move(answer));
                announce = bool(s.answerReady);
            }
        }
        if (announce) s.answerReady();
        answer = nullptr;  // an answer nobody will see is let go outside the lock too
        finishedOne = true;
    }
}

JobLane::JobLane(size_t capacity, Mode mode) : m_capacity(capacity), m_mode(mode), m_shared(std::make_shared<Shared>()) {
    // The thread holds the shared part itself: given up on, it may outlive this object.
    if (m_mode == Mode::Threaded) m_thread = std::thread([shared = m_shared] { run(*shared); });
}

JobLane::~JobLane() {
    if (!m_thread.joinable()) return;  // inline, or given up on
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->ending = true;
    }
    m_shared->wake.notify_all();
    m_thread.join();
}

bool JobLane::hand(Job& job, size_t weight, bool bounded) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->abandoned) return false;
        if (bounded && weight > 0 && m_shared->queued + weight > m_capacity) return false;
        if (m_mode == Mode::Threaded) {
            m_shared->jobs.push_back({std::move(job), weight});
            m_shared->queued += weight;
        }
    }
    if (m_mode == Mode::Threaded) {
        m_shared->wake.notify_one();
    } else {
        Answer answer = job();
        if (answer) answer();
    }
    return true;
}

bool JobLane::tryPost(Job job, size_t weight) { return hand(job, weight, true); }

void JobLane::post(Job job, size_t weight) { hand(job, weight, false); }

bool JobLane::hasRoom() const {
    std::lock_guard lock(m_shared->mutex);
    return !m_shared->abandoned && m_shared->queued < m_capacity;
}

size_t JobLane::pending() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->jobs.size() + m_shared->running;
}

void JobLane::collect() {
    if (m_collecting) return;
    m_collecting = true;
    for (;;) {
        Answer answer;
        {
            std::lock_guard lock(m_shared->mutex);
            if (m_shared->answers.empty()) break;
            answer = std::move(m_shared->answers.front());
            m_shared->answers.pop_front();
        }
        answer();
    }
    m_collecting = false;
}

void JobLane::waitIdle() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->idle.wait(lock, [this] { return m_shared->idleNow(); });
}

bool JobLane::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, timeout, [this] { return m_shared->idleNow(); });
}

void JobLane::abandon() {
    std::deque<Shared::Waiting> dropped;
    std::deque<Answer> unseen;
    bool busy = false;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->abandoned = true;
        dropped.swap(m_shared->jobs);
        unseen.swap(m_shared->answers);
        m_shared->queued = 0;
        busy = m_shared->running > 0;
    }
    m_shared->wake.notify_all();
    m_shared->idle.notify_all();
    if (!m_thread.joinable()) return;
    // An idle thread only has to wake up to end; a busy one may be stuck for good.
    if (busy) m_thread.detach();
    else m_thread.join();
}

void JobLane::setAnswerReady(std::function<void()> notify) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->answerReady = std::move(notify);
}

void JobLane::notifyHandingThread() const {
    if (m_shared->answerReady) m_shared->answerReady();
}

} // namespace cv
