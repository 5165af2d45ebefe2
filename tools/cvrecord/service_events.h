#pragma once
// The recorder's events as journal lines: one method per event, with its text and severity in
// one place, and the journal's cap on whatever repeats.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/event_journal.h"
#include "share/network_output.h"

namespace cv {

class ServiceEvents {
public:
    ServiceEvents(EventJournal& journal, std::function<uint32_t()> nowMs)
        : m_journal(journal), m_nowMs(std::move(nowMs)) {}

    void portLost(int comNumber, const std::string& device);
    void portBack(int comNumber, const std::string& device);
    void fileOpened(const std::string& file);
    void writesFailing(const std::string& file);
    void writesResumed(const std::string& file, uint32_t failedWrites);
    void clientConnected(const std::string& output, int clients);
    // `fellBehind`: given up for not reading, rather than gone by itself.
    void clientGone(const std::string& output, int clients, bool fellBehind);
    void outputFailed(const std::string& output, const std::string& error);
    // A box the window would show.
    void box(const std::string& caption, const std::string& text);

    uint64_t outputErrors() const { return m_outputErrors; }

private:
    void report(const std::string& kind, Severity severity, const std::string& text);

    EventJournal& m_journal;
    std::function<uint32_t()> m_nowMs;
    uint64_t m_outputErrors = 0;
};

// One network output as the recorder sees it once a second.
struct OutputState {
    std::string name;  // "2:1=5001"
    share::Protocol protocol = share::Protocol::Udp;
    share::OutputFigures figures;  // lines filled in from the stream's side
};

// What the recorder shows once a second.
struct RecorderState {
    bool portLost = false;
    std::string file;
    bool writesFailing = false;
    uint32_t failedWrites = 0;
    std::vector<OutputState> outputs;
};

// Turns the differences between one second's state and the next into events, for a recorder
// that reports none of its own. Only sees what lasted until a tick: a client that came and went
// within one second is not told.
class RecorderWatch {
public:
    RecorderWatch(ServiceEvents& events, int comNumber, std::string device)
        : m_events(events), m_comNumber(comNumber), m_device(std::move(device)) {}
    void observe(const RecorderState& now);

private:
    ServiceEvents& m_events;
    int m_comNumber;
    std::string m_device;
    RecorderState m_last;
};

// ", port open" or ", port lost", then the network figures when there are outputs:
// ", lines sent 120, clients 1, dropped 0, errors 0".
std::string serviceStatusTail(bool portLost, const std::vector<OutputState>& outputs, uint64_t outputErrors);
// The manager's one-line status: "records 120, file run.arc, lost records 0, clients 1".
std::string managerStatus(uint64_t records, const std::string& file, uint32_t lostRecords,
                          const std::vector<OutputState>& outputs, bool portLost);

} // namespace cv
