#include "link/link_statistics_qt.h"

#include <QLabel>

#include "base/text_format.h"
#include "link/statistics_dialog.h"
#include "link/supervision.h"
#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
constexpr int kLoggerPort = 0;  // the window's source
} // namespace

LinkStatistics::LinkStatistics(QWidget* window) : m_stats(new StatsDialog(window)) {}

void LinkStatistics::HostPortStatsClick() {
    m_stats->CloseStats();
    m_stats->OpenStats(kLoggerPort, statsline::kCount, "Host Port Statistics");
}

void LinkStatistics::showPacketCount(uint32_t packetsFramed) {
    if (packetsFramed == m_shownPacketCount) return;
    m_shownPacketCount = packetsFramed;
    m_stats->SetStatsLine(kLoggerPort, statsline::kPacketCount, qs(format("Packet Count: %lu", (unsigned long)packetsFramed)));
}

void LinkStatistics::showSecondReport(const SecondReport& r) {
    m_stats->SetStatsColour(kLoggerPort, statsline::kPacketsPerSecond, r.packetsFlowed ? normalFieldColour() : kRed);
    using namespace statsline;
    for (int line : {kPacketsPerSecond, kBytesPerSecond, kTotalInput, kLargestPacket, kNoDataTimer, kBadDataTimer,
                     kSequenceErrors})
        m_stats->SetStatsLine(kLoggerPort, line, qs(r.line(line)));
    m_stats->SetStatsColour(kLoggerPort, statsline::kBytesPerSecond, r.bytesFlowed ? normalPanelColour() : kYellow);
}

void LinkStatistics::showLoops(const SecondReport& r) {
    m_stats->SetStatsLine(kLoggerPort, statsline::kLoops, qs(r.line(statsline::kLoops)));
}

void LinkStatistics::showLineLoad(const std::string& text) { m_stats->SetStatsNote(kLoggerPort, qs(text)); }

} // namespace cv
