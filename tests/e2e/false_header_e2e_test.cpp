// One false mux header on the line (08 08 declaring 4000 payload bytes that never come) must not
// hold framing for the half minute the status packets behind it would need to fill it.
#include <gtest/gtest.h>

#include <QComboBox>
#include <cstdio>

#include "e2e_support.h"
#include "link/link_screen_qt.h"
#include "widgets/colours.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

struct FalseHeaderCase {
    const char* name;
    int speedChoice;
    std::chrono::milliseconds deadline;  // from the header to the next framed packet
};
void PrintTo(const FalseHeaderCase& c, std::ostream* os) { *os << c.name; }

class FalseHeaderEndToEnd : public ::testing::TestWithParam<FalseHeaderCase> {};

TEST_P(FalseHeaderEndToEnd, StatusPacketsFrameAgainInTime) {
    Kr8SimOptions o;
    o.faults.falseMuxHeader = true;
    test::HostAndLogger rig(o);
    rig.form.receiver().setClock(&rig.clock);
    rig.form.linkScreen()->selectLoggerPort(1, GetParam().speedChoice);
    const auto* speedBox = rig.form.findChild<QComboBox*>("LoggerSetupCB");
    ASSERT_NE(speedBox, nullptr);
    ASSERT_TRUE(rig.form.ports().isPortOpen(0)) << "could not open the pseudo-terminal";
    PacketReceiver& rx = rig.form.receiver();

    ASSERT_TRUE(rig.runUntil([&] { return rx.receivingPacket(8); }, 10s)) << "no false header arrived";
    const auto heldAt = std::chrono::steady_clock::now();
    const uint32_t framedBefore = rx.counters().packetsFramed;
    bool speedShownWrong = false;
    const bool framed = rig.runUntil(
        [&] {
            speedShownWrong = speedShownWrong || fieldColour(speedBox) == kRed;
            return rx.counters().packetsFramed > framedBefore;
        },
        GetParam().deadline);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - heldAt);
    std::printf("false header to next framed packet at speed choice %d: %lld ms\n", GetParam().speedChoice,
                (long long)ms.count());
    RecordProperty("falseHeaderToFramedMs", int(ms.count()));
    EXPECT_TRUE(framed);
    EXPECT_EQ(rx.expectedMuxLength(), kMuxOverhead);
    EXPECT_FALSE(speedShownWrong);
}

INSTANTIATE_TEST_SUITE_P(Speeds, FalseHeaderEndToEnd,
                         ::testing::Values(FalseHeaderCase{"At115200", 11, 2s}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
