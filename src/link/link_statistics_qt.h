#pragma once
// The logger port's statistics window: what the receiver and the supervision count, shown line
// by line (packets, bytes, rates, mux sequence errors, receive loops).
#include <cstdint>
#include <string>

class QWidget;

namespace cv {

struct SecondReport;
class StatsDialog;

class LinkStatistics {
public:
    explicit LinkStatistics(QWidget* window);

    StatsDialog* form() const { return m_stats; }

    // The Logger_Port menu's "Show Logger Port Statistics".
    void HostPortStatsClick();

    // The packet count line, rewritten only when the count moved.
    void showPacketCount(uint32_t packetsFramed);
    // The second's lines and the colours that say whether bytes and packets flowed.
    void showSecondReport(const SecondReport& r);
    void showLoops(const SecondReport& r);
    // Below the lines: "Line full: data about 18 s late", or nothing.
    void showLineLoad(const std::string& text);

private:
    StatsDialog* m_stats;
    uint32_t m_shownPacketCount = 0;
};

} // namespace cv
