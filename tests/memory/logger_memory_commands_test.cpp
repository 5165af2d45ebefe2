// Reading the run directory and clearing the logger memory.
#include <gtest/gtest.h>

#include <filesystem>

#include "upload_rig.h"

namespace cv::test {
namespace {

// ---- get directory ----

TEST(GetDirectory, GetDirectoryInStandbyOrEndOfRunClearsAndAsks) {
    for (int state : {9, 30}) {
        UploadRig rig;
        rig.listRuns({{1, 100}});
        rig.sink.packets.clear();
        rig.memory.getDirectory(state, "KR-8");
        ASSERT_EQ(rig.sink.packets.size(), 1u);
        EXPECT_EQ(rig.sink.last(), bytesOf("02 02 B8 B8 00 00 00 00 00 00 74 01"));
        EXPECT_TRUE(rig.view.rows.empty());
        EXPECT_EQ(rig.directory.slotCount(), 0);
        EXPECT_TRUE(rig.dialogs.boxes.empty());
    }
}

TEST(GetDirectory, GetDirectoryWhileSamplingSendsNothingAndKeepsRows) {
    UploadRig rig;
    rig.listRuns({{1, 100}, {2, 100}});
    rig.sink.packets.clear();
    rig.memory.getDirectory(2, "BQ5+");
    EXPECT_TRUE(rig.sink.packets.empty());
    EXPECT_EQ(rig.view.rows.size(), 2u);
    EXPECT_TRUE(rig.dialogs.saw("Directory Error", "The BQ5+ Must be in Standby before the Directory can be Retrieved"));
}

// ---- clear memory ----

TEST(ClearMemory, NoSendsNothingAndKeepsRows) {
    UploadRig rig;
    rig.listRuns({{5, 100}});
    rig.sink.packets.clear();
    rig.dialogs.answers = {Answer::No};
    rig.memory.clearMemory();
    EXPECT_TRUE(rig.sink.packets.empty());
    EXPECT_EQ(rig.view.rows.size(), 1u);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].caption, "Clear Memory");
    EXPECT_EQ(rig.dialogs.boxes[0].text, "Are you sure you want to clear the flash memory?");
    EXPECT_EQ(rig.dialogs.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(rig.dialogs.boxes[0].icon, Icon::Exclamation);
}

TEST(ClearMemory, YesSendsTheCommandEmptiesTheListAndWarns) {
    UploadRig rig;
    rig.listRuns({{5, 100}});
    rig.sink.packets.clear();
    rig.memory.clearMemory();
    ASSERT_EQ(rig.sink.packets.size(), 1u);
    EXPECT_EQ(rig.sink.last(), bytesOf("02 02 BD BD 00 00 00 00 01 00 7F 01"));
    EXPECT_TRUE(rig.view.rows.empty());
    EXPECT_TRUE(rig.dialogs.saw("**** WARNING ****",
                                "The status must return to Standby before removing power or any other action is taken"));
    EXPECT_EQ(rig.directory.slotCount(), 1);  // the table stays: the next entry shows the mismatch
}

} // namespace
} // namespace cv::test
