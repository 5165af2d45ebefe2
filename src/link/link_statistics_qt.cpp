#include "link/link_statistics_qt.h"

#include <QLabel>

#include "base/text_format.h"
#include "link/statistics_dialog.h"
#include "link/supervision.h"
#include "widgets/colours.h"
#include "widgets/widget_helpers.h"

namespace cv {

namespace {
// The window's lines, numbered as it shows them.
constexpr int kPacketCountLine = 5;
constexpr int kSequenceErrorsLine = 6;
constexpr int kLoopsLine = 7;
constexpr int kBytesLine = 1;
constexpr int kPacketsLine = 3;
constexpr int kLoggerPort = 0;  // the window's source
} // namespace

LinkStatistics::LinkStatistics(QWidget* window) : m_stats(new StatsDialog(window)) {}

void LinkStatistics::HostPortStatsClick() {
    m_stats->CloseStats();
    m_stats->OpenStats(kLoggerPort, 9, "Host Port Statistics");
}

void LinkStatistics::showPacketCount(uint32_t packetsFramed) {
    if (packetsFramed == m_shownPacketCount) return;
    m_shownPacketCount = packetsFramed;
    m_stats->SetStatsLine(kLoggerPort, kPacketCountLine, qs(format("Packet Count: %lu", (unsigned long)packetsFramed)));
}

void LinkStatistics::showSecondReport(const SecondReport& r) {
    m_stats->SetStatsColour(kLoggerPort, kPacketsLine, r.packetsFlowed ? normalFieldColour() : kRed);
    for (int line : {3, 1, 2, 4, 8, 9})
        m_stats->SetStatsLine(kLoggerPort, line, qs(r.statisticsLines[size_t(line - 1)]));
    m_stats->SetStatsColour(kLoggerPort, kBytesLine, r.bytesFlowed ? normalPanelColour() : kYellow);
}

void LinkStatistics::showSequenceErrors(uint32_t muxSequenceErrors) {
    m_stats->SetStatsLine(kLoggerPort, kSequenceErrorsLine, qs(sequenceErrorsLine(muxSequenceErrors)));
}

void LinkStatistics::showLoops(const SecondReport& r) {
    m_stats->SetStatsLine(kLoggerPort, kLoopsLine, qs(r.statisticsLines[kLoopsLine - 1]));
}

void LinkStatistics::showLineLoad(const std::string& text) { m_stats->SetStatsNote(kLoggerPort, qs(text)); }

} // namespace cv
