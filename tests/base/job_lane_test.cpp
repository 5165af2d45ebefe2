// The lane behind the upload: while its thread is held up it takes no more than its capacity of
// waiting jobs, and every job it took runs, its answer back in order.
#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "base/job_lane.h"

namespace cv {
namespace {

TEST(JobLane, AStalledLaneRefusesPastItsCapacityAndRunsAllItTook) {
    JobLane lane(3);
    std::promise<void> started, release;
    std::shared_future<void> go = release.get_future().share();
    std::vector<int> answered;
    lane.post([&started, go, &answered]() -> JobLane::Answer {
        started.set_value();
        go.wait();
        return [&answered] { answered.push_back(0); };
    });
    started.get_future().wait();  // the first job is off the queue and stalled
    int taken = 0;
    for (int i = 1; i <= 5; ++i)
        if (lane.tryPost([&answered, i]() -> JobLane::Answer { return [&answered, i] { answered.push_back(i); }; }))
            ++taken;
    EXPECT_EQ(taken, 3);
    EXPECT_FALSE(lane.hasRoom());
    release.set_value();
    lane.waitIdle();
    lane.collect();
    EXPECT_EQ(answered, (std::vector<int>{0, 1, 2, 3}));
}

} // namespace
} // namespace cv
