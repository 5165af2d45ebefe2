// The run summary text built from a Summary record.
#include <gtest/gtest.h>

#include <functional>

#include "extract/run_summary.h"
#include "extract_test_support.h"
#include "support/temp_dir.h"

namespace cv::test {
namespace {

std::string summaryOf(const sim::RunSummarySettings& s) {
    const auto payload = sim::summaryRunPayload(s);
    return formatRunSummary(decodeRunSummary(payload.data(), payload.size()));
}

TEST(RunSummary, TypicalRunGivesTheWholeReport) {
    sim::RunSummarySettings s;  // KR8 117, profile mode, ASCII on port 1, bq5 on port 2
    EXPECT_EQ(summaryOf(s),
              "Run # 7:  Profile on 02/14/06 at 09:00:00\n\n"
              "KR8 S/N-117\n\nFirmware Version  7.06   3/15/06\n\n"
              "Standard Power:  14720 kHz \n\n"
              "File Format:  Corvane Archive Files\n"
              "Output Format:  Real Time + Status         \n\n"
              "Logger:\nUnit ID: 2\nPacket Rate: 1 Hz\n\n"
              "Active Pump Ports:   None\n\n"
              "Analog Ports: \n1  On\n2  On\n\n"
              "Serial Ports: Type Baud     Size  Parity Stop\n"
              "Host Port: \t\t9600  \t8\tN\t1\n"
              "Port 1:\t      ASCII 9600  \t8\tN\t1\n"
              "Port 2:\t        bq5 19200 \t8\tN\t1\n"
              "\nDelay Before Start:  None\n"
              "Pre-Flush:  None\n"
              "Warm Up: 1 Minutes\n"
              "Flush:  None\n"
              "Sample: 5 Minutes\n"
              "\n"
              "Starting Voltage: 12.0 V\n"
              "Final Voltage: 11.8 V\n"
              "Low Voltage Cutoff :  6.5\n\n"
              "Recorded File Sizes\n"
              "Analog:        0\n"
              "Port 1:        0 Bytes\n"
              "Port 2:        0 Bytes\n"
              "\nTotal Disk Space: 131072 K\n"
              "Free Disk Space: 102400 K at End of Sample\n");
}

struct SummaryCase {
    const char* name;
    std::function<void(sim::RunSummarySettings&)> set;
    std::string present;  // must appear
    std::string absent;   // must not appear (empty: no check)
};

void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.name; }

class SummaryText : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SummaryText, FieldIsReportedAsTheOperatorExpects) {
    sim::RunSummarySettings s;
    GetParam().set(s);
    const std::string text = summaryOf(s);
    EXPECT_NE(text.find(GetParam().present), std::string::npos) << text;
    if (!GetParam().absent.empty()) {
        EXPECT_EQ(text.find(GetParam().absent), std::string::npos) << text;
    }
}

using S = sim::RunSummarySettings;
const SummaryCase kSummaryCases[] = {
    {"Moored", [](S& s) { s.mode = 1; }, "Run # 7:  Moored on 02/14/06 at 09:00:00\n\n", ""},
    {"PolledMoored", [](S& s) { s.mode = 12; }, "Run # 7:  Polled Moored on", ""},
    {"UnknownMode", [](S& s) { s.mode = 5; }, "Run # 7: Unknown Mode 5  on 02/14/06 at 09:00:00\n\n", ""},
    {"Bq5Meter", [](S& s) { s.loggerKind = 1; s.serialNumber = 5; }, "bq5Plus S/N-005\n\n", ""},
    {"ExternalMeter", [](S& s) { s.loggerKind = 3; }, "DOD Erer S/N=117\n\n", ""},
    {"UnknownMeter", [](S& s) { s.loggerKind = 9; }, "Unknown Meter Type 9 S/N-117\n\nFirmware Version", ""},
    {"Power60", [](S& s) { s.powerKHz = 3860; }, "60 % Power:  3860 kHz \n\n", ""},
    {"Power75", [](S& s) { s.powerKHz = 7860; }, "75 % Power:  7860 kHz \n\n", ""},
    {"Turbo", [](S& s) { s.powerKHz = 16000; }, "Turbo Power:  16000 kHz \n\n", ""},
    {"UnknownPower", [](S& s) { s.powerKHz = 100; }, "Unknown Power: 100 kHz \n\n", ""},
    {"OutOfMemoryAt50K", [](S& s) { s.freeMemory = 51200; }, "***Warning*** This Run may have terminated early.  Out of Memory!!!\n\n", ""},
    {"NoWarningAt51K", [](S& s) { s.freeMemory = 52224; }, "Free Disk Space: 51 K", "***Warning***"},
    {"NoDataFormat", [](S& s) { s.fileFormat = 0; }, "File Format:  No Data Recorded\n", ""},
    {"InvalidFileFormat", [](S& s) { s.fileFormat = 4; }, "File Format:  Invalid File Format: 4\n", ""},
    {"OutputFormat3Invalid", [](S& s) { s.outputFormat = 3; }, "Output Format:  Invalid Output Setting 3  \n\n", ""},
    {"OutputLogger8", [](S& s) { s.outputFormat = 11; }, "Output Format:  Logger 8                   \n\n", ""},
    {"OutputRealTime", [](S& s) { s.outputFormat = 2; s.fileFormat = 0; }, "Output Format:  Real Time                  \n\nLogger:\n", ""},
    {"NoLoggerBlockWithoutArchiveOrRealTime", [](S& s) { s.fileFormat = 0; s.outputFormat = 0; }, "Output Format:  Status", "Logger:"},
    {"Rate250msIs4Hz", [](S& s) { s.packetIntervalMs = 250; }, "Packet Rate: 4 Hz\n", ""},
    {"Rate166msIs6Hz", [](S& s) { s.packetIntervalMs = 166; }, "Packet Rate: 6 Hz\n", ""},
    {"Rate50msStaysMs", [](S& s) { s.packetIntervalMs = 50; }, "Packet Rate: 50 ms\n", ""},
    {"Rate10msStaysMs", [](S& s) { s.packetIntervalMs = 10; }, "Packet Rate: 10 ms\n", ""},
    {"Pumps", [](S& s) { s.pump = {1, 0, 3, 0}; }, "Active Pump Ports: \t1\t3\n\n", ""},
    {"AnalogPumpOn", [](S& s) { s.analog = {0, 2, 0, 0, 0, 0, 1}; }, "Analog Ports: \n2  Pump On\n7  On\n\n", ""},
    {"ParityOdd", [](S& s) { s.parity[1] = 1; }, "Port 1:\t      ASCII 9600  \t8\tO\t1\n", ""},
    {"ParityUnknown", [](S& s) { s.parity[0] = 5; s.dataBits[0] = 7; }, "Host Port: \t\t9600  \t7\t*\t1\n", ""},
    {"PortTypeNames", [](S& s) { s.portType = {0, 6, 9, 13, 14, 0, 0, 0, 0}; s.baud[3] = 4800; },
     "Port 1:\tAshteck GPS 9600  \t8\tN\t1\nPort 2:\tSBE16 19200 \t8\tN\t1\nPort 3:\t  CV-Logger 4800  \t8\tN\t1\nPort 4:\tInvalid Meter 0     \t8\tN\t1\n", ""},
    {"OffPortsHaveNoLine", [](S& s) { s.portType = {0, 0, 1, 0, 0, 0, 0, 0, 0}; }, "Port 2:\t", "Port 1:"},
    {"Schedule5400IsMinutes", [](S& s) { s.delaySeconds = 5400; }, "\nDelay Before Start: 90 Minutes\n", ""},
    {"Schedule3600IsHours", [](S& s) { s.preFlushSeconds = 3600; }, "Pre-Flush: 1 Hours\n", ""},
    {"Schedule61IsSeconds", [](S& s) { s.flushSeconds = 61; }, "Flush: 61 Seconds\n", ""},
    {"Voltages", [](S& s) { s.startMillivolts = 9876; s.finalMillivolts = 500; s.cutOffTenths[1] = 140; },
     "Starting Voltage:  9.9 V\nFinal Voltage:  0.5 V\nLow Voltage Cutoff : 14.0\n\n", ""},
    {"PortSize1024InBytes", [](S& s) { s.recordedBytes[1] = 1024; }, "Port 1:     1024 Bytes\n", ""},
    {"PortSize1025InK", [](S& s) { s.recordedBytes[2] = 1025; }, "Port 2:        1 K\n", ""},
    {"AnalogSize1024InBytes", [](S& s) { s.recordedBytes[0] = 1024; }, "Analog:     1024\n", ""},
    {"AnalogSize1025InK", [](S& s) { s.recordedBytes[0] = 1025; }, "Analog:        1 K\n", ""},
    {"AnalogSizes", [](S& s) { s.recordedBytes[0] = 2048 * 1024; }, "Analog:     2048 K\n", ""},
};

INSTANTIATE_TEST_SUITE_P(RunSummary, SummaryText, ::testing::ValuesIn(kSummaryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Only the moored modes repeat their samples, so only they report the interval between them.
class IntervalLine : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(IntervalLine, FollowsTheSampleLineOnlyInModesThatRepeat) {
    sim::RunSummarySettings s;
    s.mode = int16_t(GetParam().first);
    const std::string text = summaryOf(s);
    EXPECT_NE(text.find(GetParam().second ? "Sample: 5 Minutes\nInterval: 1 Hours\n\n" : "Sample: 5 Minutes\n\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Interval") != std::string::npos, GetParam().second) << text;
}

INSTANTIATE_TEST_SUITE_P(RunSummary, IntervalLine,
                         ::testing::Values(std::pair{1, true}, std::pair{12, true}, std::pair{0, false},
                                           std::pair{5, false}),
                         [](const auto& info) { return "Mode" + std::to_string(info.param.first); });

TEST(RunSummary, ShortRecordReadsMissingFieldsAsZero) {
    sim::RunSummarySettings s;
    auto payload = sim::summaryRunPayload(s);
    payload.resize(12);  // run number .. output format only
    const std::string text = formatRunSummary(decodeRunSummary(payload.data(), payload.size()));
    EXPECT_EQ(text.rfind("Run # 7:  Profile on 01/01/70 at 00:00:00\n\n", 0), 0u);
    EXPECT_NE(text.find("Unknown Power: 0 kHz"), std::string::npos);
    EXPECT_NE(text.find("***Warning***"), std::string::npos);
}

TEST(RunSummary, FileUsesCrLfLineEndsAndReplacesAnEarlierSummary) {
    TempDir dir;
    writeBytes(dir / "Summary.007", std::vector<uint8_t>(10000, 'x'));
    sim::RunSummarySettings s;
    auto payload = sim::summaryRunPayload(s);
    ASSERT_TRUE(writeRunSummaryFile(dir / "Summary.007", payload.data(), payload.size()));
    const std::string text = readText(dir / "Summary.007");
    std::string expected;
    for (char c : summaryOf(s)) {
        if (c == '\n') expected += '\r';
        expected += c;
    }
    EXPECT_EQ(text, expected);
}

} // namespace
} // namespace cv::test
