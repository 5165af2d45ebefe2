#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <mutex>

#include "e2e_support.h"
#include "link/link_screen_qt.h"
#include "stream/real_time_page.h"
#include "stream/stream_screen_qt.h"

namespace cv {
namespace {

using namespace std::chrono_literals;

// The simulator streams with gaps, duplicates, empty records and a stray unit; the host's
// counters must come out as the packets that went out say they should.
TEST(StreamEndToEnd, CountersAndTheMemoFollowWhatTheLoggerSent) {
    std::mutex m;
    std::vector<sim::SentMuxPacket> sent;
    Kr8SimOptions o;
    o.streamInterval = 50ms;
    o.streamUnits = {0, 2};
    o.faults.stream.gapEvery = 7;
    o.faults.stream.gapLength = 3;
    o.faults.stream.duplicateEvery = 5;
    o.faults.stream.emptyEvery = 11;
    o.faults.stream.strayUnit = 6;
    o.faults.stream.strayEvery = 20;
    o.sentSink = [&](const sim::SentMuxPacket& p) {
        std::lock_guard<std::mutex> lock(m);
        sent.push_back(p);
    };
    test::HostAndLogger rig(o);
    rig.form.linkScreen()->selectLoggerPort(1, 6);
    ASSERT_TRUE(rig.runUntil([&] { return rig.form.receiver().counters().packetsFramed >= 1; }, 10s));
    RealTimePage* page = rig.form.streamScreen()->page();
    page->BTDisplayRaw->click();

    rig.sim.logger().beginSampling();
    ASSERT_TRUE(rig.runUntil([&] { std::lock_guard<std::mutex> lock(m); return sent.size() >= 150; }, 30s));
    rig.sim.logger().stopSampling();
    rig.runUntil([] { return false; }, 1500ms);  // what is still on its way arrives

    std::lock_guard<std::mutex> lock(m);
    std::map<int, MuxUnitCounters> expected;
    std::map<int, int> last;
    int strayRecords = 0;
    for (const sim::SentMuxPacket& p : sent) {
        if (p.duplicate) continue;
        if (p.unit > 4) {
            if (p.payloadLength() > 0) ++strayRecords;
            continue;
        }
        const int previous = last.count(p.unit) ? last[p.unit] : 255;
        last[p.unit] = p.sequence;
        if (p.payloadLength() == 0) continue;
        ++expected[p.unit].packets;
        if (p.sequence != (previous + 1) % 256) ++expected[p.unit].sequenceErrors;
    }
    ASSERT_GT(expected[2].sequenceErrors, 0u) << "the gaps went out";
    const MuxStream& stream = rig.form.streamScreen()->stream();
    for (int u : {0, 2}) {
        EXPECT_EQ(stream.unit(u).packets, expected[u].packets) << "unit " << u;
        EXPECT_EQ(stream.unit(u).sequenceErrors, expected[u].sequenceErrors) << "unit " << u;
    }
    EXPECT_EQ(stream.totalSequenceErrors(), expected[0].sequenceErrors + expected[2].sequenceErrors);
    size_t strayBoxes = 0;
    for (const auto& b : rig.dialogs.boxes) strayBoxes += b.caption == "Mux ID Error";
    EXPECT_GT(strayRecords, 0);
    EXPECT_EQ(strayBoxes, size_t(strayRecords));
    EXPECT_FALSE(page->Memo1->toPlainText().isEmpty()) << "port 1 of logger 2 was shown";
}

} // namespace
} // namespace cv
