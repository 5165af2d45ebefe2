// The worker that takes file work off a tick: replies come back in order on the owner's thread,
// the queue refuses what passes its bound at once, and a task that never returns holds nobody.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "base/file_worker.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

TEST(FileWorker, RepliesComeBackInOrderOnTheCollectingThread) {
    FileWorker worker(100);
    std::vector<int> seen;
    const auto owner = std::this_thread::get_id();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(worker.post([&, i](FileWorker::Outbox& out) {
            out.send([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), owner);
                seen.push_back(i);
            });
        }));
    ASSERT_TRUE(worker.waitIdle(10s));
    EXPECT_TRUE(seen.empty()) << "replies wait for collect()";
    worker.collect();
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[size_t(i)], i);
}

// A worker held up by its present task: what fits waits, what does not is refused without
// waiting; the owner that gives up returns at once, and the task's end is still seen to.
TEST(FileWorker, AStuckTaskFillsTheQueueAndCanBeGivenUpOn) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    auto worker = std::make_unique<FileWorker>(10);
    ASSERT_TRUE(worker->post([released, ended](FileWorker::Outbox&) {
        released.wait();
        *ended = true;
    }, 0));
    EXPECT_TRUE(worker->post([](FileWorker::Outbox&) {}, 6));
    EXPECT_TRUE(worker->post([](FileWorker::Outbox&) {}, 4));
    EXPECT_FALSE(worker->post([](FileWorker::Outbox&) {}, 1));
    EXPECT_EQ(worker->queued(), 10u);
    EXPECT_FALSE(worker->waitIdle(20ms));
    worker.reset();  // gives up: must not wait for the stuck task
    release.set_value();
    for (int i = 0; i < 1000 && !*ended; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(*ended);
}

} // namespace
} // namespace cv
