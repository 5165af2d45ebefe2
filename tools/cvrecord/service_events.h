#pragma once
// The recorder's events as journal lines: one method per event, with its text and severity in
// one place, and the journal's cap on whatever repeats.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/event_journal.h"
#include "host/recording_run.h"
#include "share/network_output.h"

namespace cv {

class ServiceEvents : public RunEvents {
public:
    // `comNumber` and `device`: the logger port, as the lines name it.
    ServiceEvents(EventJournal& journal, std::function<uint32_t()> nowMs, int comNumber, std::string device)
        : m_journal(journal), m_nowMs(std::move(nowMs)), m_comNumber(comNumber), m_device(std::move(device)) {}

    void portLostChanged(bool lost) override;
    void fileOpened(const std::string& file) override;
    void writesFailingChanged(bool failing, const std::string& file, uint32_t failedWrites) override;
    void outputChanged(const std::string& output, const share::OutputChange& change) override;
    void outputFailed(const std::string& output, const std::string& error) override;
    // A box the window would show.
    void box(const std::string& caption, const std::string& text);

    uint64_t outputErrors() const { return m_outputErrors; }

private:
    void report(const std::string& kind, Severity severity, const std::string& text);

    EventJournal& m_journal;
    std::function<uint32_t()> m_nowMs;
    int m_comNumber;
    std::string m_device;
    uint64_t m_outputErrors = 0;
};

// One network output as the recorder sees it once a second.
struct OutputState {
    std::string name;  // "2:1=5001"
    share::Protocol protocol = share::Protocol::Udp;
    share::OutputFigures figures;  // lines filled in from the stream's side
};

// ", port open" or ", port lost", then the network figures when there are outputs:
// ", lines sent 120, clients 1, dropped 0, errors 0".
std::string serviceStatusTail(bool portLost, const std::vector<OutputState>& outputs, uint64_t outputErrors);
// The manager's one-line status: "records 120, file run.arc, lost records 0, clients 1".
std::string managerStatus(uint64_t records, const std::string& file, uint32_t lostRecords,
                          const std::vector<OutputState>& outputs, bool portLost);

} // namespace cv
