#include "base/job_lane.h"

namespace cv {

JobLane::JobLane(size_t capacity, Mode mode) : m_capacity(capacity), m_mode(mode) {
    if (m_mode == Mode::Threaded) m_thread = std::thread([this] { run(); });
}

JobLane::~JobLane() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool JobLane::tryPost(Job job) {
    if (!hasRoom()) return false;
    post(std::move(job));
    return true;
}

void JobLane::post(Job job) {
    if (m_mode == Mode::Inline) {
        Answer answer = job();
        if (answer) answer();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

bool JobLane::hasRoom() const {
    std::lock_guard lock(m_mutex);
    return m_jobs.size() < m_capacity;
}

size_t JobLane::pending() const {
    std::lock_guard lock(m_mutex);
    return m_jobs.size() + m_running;
}

void JobLane::collect() {
    if (m_collecting) return;
    m_collecting = true;
    for (;;) {
        Answer answer;
        {
            std::lock_guard lock(m_mutex);
            if (m_answers.empty()) break;
            answer = std::move(m_answers.front());
            m_answers.pop_front();
        }
        if (answer) answer();
    }
    m_collecting = false;
}

void JobLane::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && m_running == 0; });
}

void JobLane::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_jobs.empty()) return;  // stopping, and everything handed over has run
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        Answer answer = job();
        lock.lock();
        m_answers.push_back(std::move(answer));
        --m_running;
        if (m_jobs.empty() && m_running == 0) m_idle.notify_all();
        if (m_answerReady) {
            lock.unlock();
            m_answerReady();
            lock.lock();
        }
    }
}

} // namespace cv
