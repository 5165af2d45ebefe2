// The lane that takes file work off a tick: answers come back in order on the handing thread,
// nothing accepted is lost at the end, the queue refuses what passes its bound at once, and a
// job that never returns holds nobody once the owner gives up on it.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "base/job_lane.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

class JobLaneModes : public ::testing::TestWithParam<JobLane::Mode> {};

TEST_P(JobLaneModes, AnswersRunInOrderOnTheHandingThread) {
    JobLane lane(100, GetParam());
    std::vector<int> seen;
    const auto owner = std::this_thread::get_id();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(lane.tryPost([&, i]() -> JobLane::Answer {
            return [&, i] {
                EXPECT_EQ(std::this_thread::get_id(), owner);
                seen.push_back(i);
            };
        }));
    ASSERT_TRUE(lane.waitIdle(10s));
    lane.collect();
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[size_t(i)], i);
}

INSTANTIATE_TEST_SUITE_P(Lane, JobLaneModes, ::testing::Values(JobLane::Mode::Threaded, JobLane::Mode::Inline),
                         [](const auto& info) {
                             return std::string(info.param == JobLane::Mode::Threaded ? "Threaded" : "Inline");
                         });

// A box opened by an answer runs its own loop, and with it collect() again, while newer
// answers arrive: they still come after the older ones.
TEST(JobLane, AnAnswerThatCollectsAgainKeepsTheOrder) {
    JobLane lane(10);
    std::vector<int> seen;
    const auto job = [&](int i) {
        return [&, i]() -> JobLane::Answer { return [&, i] { seen.push_back(i); }; };
    };
    lane.post([&]() -> JobLane::Answer {
        return [&] {
            seen.push_back(0);
            lane.post(job(2));
            lane.waitIdle();
            lane.collect();
        };
    });
    lane.post(job(1));
    lane.waitIdle();
    lane.collect();
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
}

TEST(JobLane, EveryAcceptedJobRunsBeforeTheLaneIsGone) {
    std::promise<void> release;
    auto ran = std::make_shared<std::vector<int>>();
    {
        JobLane lane(1);
        lane.post([released = release.get_future().share()]() -> JobLane::Answer {
            released.wait();
            return {};
        });
        for (int i = 0; i < 20; ++i)
            lane.post([ran, i]() -> JobLane::Answer {
                ran->push_back(i);
                return {};
            });
        EXPECT_FALSE(lane.hasRoom());
        EXPECT_EQ(lane.pending(), 21u);
        release.set_value();
    }
    ASSERT_EQ(ran->size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ((*ran)[size_t(i)], i);
}

// A lane held up by its present job: what fits waits, what does not is refused without
// waiting; the owner that gives up returns at once, and the job's end is still seen to.
TEST(JobLane, AStuckJobFillsTheQueueAndCanBeGivenUpOn) {
    std::promise<void> release;
    auto ended = std::make_shared<std::promise<void>>();
    bool answered = false;
    auto lane = std::make_unique<JobLane>(10);
    lane->post([released = release.get_future().share(), ended, &answered]() -> JobLane::Answer {
        released.wait();
        ended->set_value();
        return [&answered] { answered = true; };
    }, 0);
    EXPECT_TRUE(lane->tryPost([] { return JobLane::Answer(); }, 6));
    EXPECT_TRUE(lane->tryPost([] { return JobLane::Answer(); }, 4));
    EXPECT_FALSE(lane->tryPost([] { return JobLane::Answer(); }, 1));
    EXPECT_FALSE(lane->hasRoom());
    EXPECT_FALSE(lane->waitIdle(20ms));
    lane->abandon();  // must not wait for the stuck job
    EXPECT_FALSE(lane->tryPost([] { return JobLane::Answer(); }, 0));
    release.set_value();
    ASSERT_EQ(ended->get_future().wait_for(10s), std::future_status::ready);
    lane->collect();
    lane.reset();
    EXPECT_FALSE(answered) << "a lane given up on answers nothing";
}

} // namespace
} // namespace cv
