#include <gtest/gtest.h>

#include "upload_rig.h"

namespace cv::test {
namespace {

// A logger may number each run's blocks afresh, so the zero-count block that is a run's whole
// answer can carry the number of the block that ended the run before. Taking it for a late
// repeat is right once; after the run has been requested again it is this run's answer.
// Dropping it every time would repeat the request without end.
TEST(EmptyRun, EmptyRunAnsweredWithTheLastRunsEndNumberStillFinishes) {
    UploadRig rig;
    rig.listRuns({{5, 100}, {6, 100}});
    rig.queue({0, 1});
    rig.session.supervisionTick();
    rig.block(0, 0);  // run 5: nothing but its end block, numbered 0
    ASSERT_EQ(rig.extractions.size(), 1u);
    rig.session.supervisionTick();
    ASSERT_EQ(rig.requests(), 2);
    for (int round = 0; round < 4 && rig.session.runsRemaining() != 0; ++round) {
        rig.block(0, 0);  // run 6 answers every request the same way
        for (int i = 0; i < 3; ++i) rig.session.timeoutTick();
        rig.session.supervisionTick();
    }
    EXPECT_EQ(rig.session.runsRemaining(), 0);
    EXPECT_EQ(rig.extractions.size(), 2u);
    EXPECT_EQ(rig.view.uploadRun, "Upload is Complete");
    EXPECT_LE(rig.requests(), 3);
}

} // namespace
} // namespace cv::test
