#include "service_events.h"

#include <algorithm>

#include "base/text_format.h"

namespace cv {

namespace {
constexpr const char* kPortKind = "port";
constexpr const char* kFileKind = "file";
constexpr const char* kWriteKind = "write";
constexpr const char* kClientKind = "client";
constexpr const char* kOutputKind = "output";

int totalClients(const std::vector<OutputState>& outputs) {
    int clients = 0;
    for (const OutputState& o : outputs) clients += o.figures.clients;
    return clients;
}
} // namespace

void ServiceEvents::report(const std::string& kind, Severity severity, const std::string& text) {
    m_journal.report(kind, severity, text, m_nowMs());
}

void ServiceEvents::portLostChanged(bool lost) {
    if (lost)
        report(kPortKind, Severity::Warning,
               format("COM%d (%s) lost; looking for it again every few seconds", m_comNumber, m_device.c_str()));
    else
        report(kPortKind, Severity::Info, format("COM%d (%s) back; recording goes on", m_comNumber, m_device.c_str()));
}

void ServiceEvents::fileOpened(const std::string& file) { report(kFileKind, Severity::Info, "recording into " + file); }

void ServiceEvents::writesFailingChanged(bool failing, const std::string& file, uint32_t failedWrites) {
    if (failing)
        report(kWriteKind, Severity::Error, "records cannot be written to " + file + "; each next record tries again");
    else
        report(kWriteKind, Severity::Info,
               format("records are written to %s again; %u could not be written", file.c_str(), failedWrites));
}

void ServiceEvents::outputChanged(const std::string& output, const share::OutputChange& c) {
    // Told one client at a time, with the count each leaves: arrivals first, then those given
    // up, then those gone by themselves.
    int clients = c.clients - c.connected + c.dropped + c.left;
    for (int n = 0; n < c.connected; ++n)
        report(kClientKind, Severity::Info, format("%s: a client connected (%d now)", output.c_str(), ++clients));
    for (int n = 0; n < c.dropped; ++n)
        report(kClientKind, Severity::Warning,
               format("%s: a client that stopped reading was dropped (%d now)", output.c_str(), --clients));
    for (int n = 0; n < c.left; ++n)
        report(kClientKind, Severity::Info, format("%s: a client disconnected (%d now)", output.c_str(), --clients));
    if (!c.trouble.empty()) outputFailed(output, c.trouble);
}

void ServiceEvents::outputFailed(const std::string& output, const std::string& error) {
    ++m_outputErrors;
    report(kOutputKind, Severity::Error, output + ": " + error);
}

void ServiceEvents::box(const std::string& caption, const std::string& text) {
    // Kind by caption: a logger sending records of an unknown unit raises the same box for each.
    report("box " + caption, Severity::Warning, caption + ": " + text);
}

std::string serviceStatusTail(bool portLost, const std::vector<OutputState>& outputs, uint64_t outputErrors) {
    std::string tail = portLost ? ", port lost" : ", port open";
    if (outputs.empty()) return tail;
    uint64_t lines = 0, dropped = 0, notQueued = 0;
    bool broker = false;
    for (const OutputState& o : outputs) {
        lines += o.figures.lines;
        dropped += o.figures.droppedClients;
        notQueued += o.figures.notQueued;
        broker = broker || o.protocol == share::Protocol::Mqtt;
    }
    tail += format(", lines sent %llu, clients %d, dropped %llu, errors %llu", (unsigned long long)lines,
                   totalClients(outputs), (unsigned long long)dropped, (unsigned long long)outputErrors);
    // Lines a broker that was away could not take, counted where the operator reads the status.
    if (broker) tail += format(", not queued %llu", (unsigned long long)notQueued);
    return tail;
}

std::string managerStatus(uint64_t records, const std::string& file, uint32_t lostRecords,
                          const std::vector<OutputState>& outputs, bool portLost) {
    std::string status = format("records %llu, file %s, lost records %u, clients %d", (unsigned long long)records,
                                file.empty() ? "-" : file.c_str(), lostRecords, totalClients(outputs));
    if (portLost) status += ", port lost";
    return status;
}

} // namespace cv
