// The simulated logger's line is pulled and plugged in again behind the same link path: the
// running window shows the port lost, reopens it by itself and frames status packets again,
// with no operator action and no box.
#include <gtest/gtest.h>

#include <QLabel>
#include <chrono>
#include <filesystem>
#include <cstdio>

#include "e2e_support.h"
#include "link/link_screen_qt.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

TEST(LostLoggerEndToEnd, ComesBackBehindTheSameLinkWithNoOperatorAction) {
    test::TempDir dir;
    const std::string link = (dir.path() / "kr8").string();
    test::HostAndLogger rig;
    test::replugSimulator(rig.sim, link);
    rig.map.set(1, link);
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    auto framed = [&] { return rig.form.receiver().counters().packetsFramed; };
    ASSERT_TRUE(rig.runUntil([&] { return framed() >= 2; }, 10s));

    // Pulled: the device and its link go away, as a by-id link does with a USB adapter. A stale
    // link could meet a pseudo-terminal of another test that got the same number meanwhile.
    rig.sim.line().stop();
    std::filesystem::remove(link);
    ASSERT_TRUE(rig.runUntil([&] { return rig.form.linkScreen()->portLost(); }, 5s));
    EXPECT_EQ(rig.form.linkScreen()->COMStatus->text(), "COM1 lost - waiting for the device");
    rig.runUntil([] { return false; }, 2500ms);  // a few failed attempts in the meantime

    const uint32_t before = framed();
    test::replugSimulator(rig.sim, link);
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.runUntil([&] { return framed() > before; }, 10s)) << "status packets frame again";
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - back);
    std::fprintf(stderr, "device return to first framed packet: %lld ms\n", (long long)ms.count());
    EXPECT_FALSE(rig.form.linkScreen()->portLost());
    EXPECT_EQ(rig.form.linkScreen()->COMStatus->text(), "COM1 @ 9600 Baud");
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << "no box for the loss or for each attempt";
}

} // namespace
} // namespace cv
