#include "link/supervision.h"

#include "base/text_format.h"
#include "protocol/speed_choices.h"

namespace cv {

std::string comStatusText(int loggerPortIndex, int speedChoice) {
    std::string port = loggerPortIndex == 0 ? std::string("No Port ") : format("COM%1d ", loggerPortIndex);
    if (speedChoice == kSpeedChoiceOff) return port + "is OFF";
    if (speedChoice < 0 || speedChoice > kTopSpeedChoice) return port + "@ Unknown Baud";
    // A bare rate reads "@ 9600 Baud"; an item that names its line setting stands alone.
    const std::string item = kSpeedChoiceItems[size_t(speedChoice)];
    return port + "@ " + item + (item.find(',') == std::string::npos ? " Baud" : "");
}

std::string loggerPortPanelText(int loggerPortIndex) { return format("Logger Port: COM%1d", loggerPortIndex); }

std::string lostPortStatusText(int loggerPortIndex) {
    return format("COM%1d lost - waiting for the device", loggerPortIndex);
}

std::string portTestStatusText(int loggerPortIndex, int speedChoice) {
    return comStatusText(loggerPortIndex, speedChoice) + " - port test";
}

std::string sequenceErrorsLine(uint32_t muxSequenceErrors) {
    return format("Mod Errors:  %1lu", (unsigned long)muxSequenceErrors);
}

bool LinkSupervisor::afterReceive(int receiveResult) {
    if (receiveResult != kPacketFramed) return false;
    m_noData = 2;
    m_badData = 3;
    m_autoBaud = false;
    return true;
}

void LinkSupervisor::portReopened() {
    m_noData = 2;
    m_badData = 3;
}

void LinkSupervisor::setAutoBaud(bool on) {
    m_autoBaud = on;
    m_stepFromTop = on;
    if (on) m_badData = 5;
}

SecondReport LinkSupervisor::secondTick(LinkCounters& c, int loggerPortIndex, int speedChoice, uint32_t muxSequenceErrors,
                                        bool packetArriving) {
    SecondReport r;
    const uint32_t packets = c.packetsFramed - m_lastPackets;
    r.packetsFlowed = packets != 0;
    if (r.packetsFlowed) m_badData = 3;
    // A long packet still coming in within its time at this speed (an upload block at 600
    // baud takes 17 s) is no sign of a wrong speed.
    else if (!packetArriving) --m_badData;
    r.line(statsline::kPacketsPerSecond) = format("Packets/Sec:  %lu", (unsigned long)packets);
    m_lastPackets = c.packetsFramed;

    const uint32_t bytes = c.bytesReceived - m_lastBytes;
    r.bytesFlowed = bytes != 0;
    if (r.bytesFlowed) m_noData = 2;
    else --m_noData;
    r.line(statsline::kBytesPerSecond) = format("Bytes/Sec:  %lu", (unsigned long)bytes);
    m_lastBytes = c.bytesReceived;
    r.line(statsline::kTotalInput) = format("Total Input: %lu", (unsigned long)c.bytesReceived);

    if (c.largestMuxThisSecond > m_largestEver) m_largestEver = c.largestMuxThisSecond;
    r.line(statsline::kLargestPacket) = format("Max Bytes/Packet: %d   %d", c.largestMuxThisSecond, m_largestEver);
    c.largestMuxThisSecond = 0;

    if (m_portTest) portReopened();
    r.line(statsline::kNoDataTimer) = format("No Data Timer: %03ld", long(m_noData));
    r.line(statsline::kBadDataTimer) = format("Bad Data Timer: %03ld", long(m_badData));

    if (m_noData < 0) {
        m_noData = 2;
        m_badData = 3;
        r.portSilent = loggerPortIndex > 0;
    }
    if (m_badData < 0) {
        m_badData = 3;
        m_noData = 2;
        r.nonFraming = true;
        if (m_autoBaud) {
            // The search starts below the top speed whatever the port runs at now; the speed box
            // keeps showing the speed the line really has until the first step.
            const int from = m_stepFromTop ? kTopSpeedChoice : speedChoice;
            m_stepFromTop = false;
            r.autoBaudChoice = from >= 2 ? from - 1 : kTopSpeedChoice;
            m_badData = 5;
        }
    }
    r.line(statsline::kSequenceErrors) = sequenceErrorsLine(muxSequenceErrors);
    r.line(statsline::kLoops) = format("Loops: %d ", m_ticks);
    m_ticks = 0;
    return r;
}

} // namespace cv
