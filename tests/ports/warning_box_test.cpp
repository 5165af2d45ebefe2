#include <gtest/gtest.h>

#include "ports/operator_dialogs.h"
#include "support/fakes.h"

namespace cv {
namespace {

// Boxes nest while timers tick inside a modal loop; the eleventh open request is dropped.
TEST(WarningBox, AtMostTenNestedBoxesAndEachBeepsFirst) {
    test::FakeDialogs dialogs;
    WarningBox box(dialogs);
    int requests = 0;
    dialogs.whileOpen = [&] {
        if (++requests < 15) box.show("Nested", "again");
    };
    box.show("Nested", "first");
    EXPECT_EQ(dialogs.boxes.size(), 10u);
    EXPECT_EQ(dialogs.beeps.size(), dialogs.boxes.size());
    EXPECT_EQ(dialogs.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(box.openCount(), 0);
    dialogs.whileOpen = nullptr;
    box.show("After", "all closed");
    EXPECT_EQ(dialogs.boxes.back().caption, "After");
}

} // namespace
} // namespace cv
