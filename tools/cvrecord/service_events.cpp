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

void ServiceEvents::portLost(int comNumber, const std::string& device) {
    report(kPortKind, Severity::Warning,
           format("COM%d (%s) lost; looking for it again every few seconds", comNumber, device.c_str()));
}

void ServiceEvents::portBack(int comNumber, const std::string& device) {
    report(kPortKind, Severity::Info, format("COM%d (%s) back; recording goes on", comNumber, device.c_str()));
}

void ServiceEvents::fileOpened(const std::string& file) { report(kFileKind, Severity::Info, "recording into " + file); }

void ServiceEvents::writesFailing(const std::string& file) {
    report(kWriteKind, Severity::Error, "records cannot be written to " + file + "; each next record tries again");
}

void ServiceEvents::writesResumed(const std::string& file, uint32_t failedWrites) {
    report(kWriteKind, Severity::Info,
           format("records are written to %s again; %u could not be written", file.c_str(), failedWrites));
}

void ServiceEvents::clientConnected(const std::string& output, int clients) {
    report(kClientKind, Severity::Info, format("%s: a client connected (%d now)", output.c_str(), clients));
}

void ServiceEvents::clientGone(const std::string& output, int clients, bool fellBehind) {
    report(kClientKind, fellBehind ? Severity::Warning : Severity::Info,
           format(fellBehind ? "%s: a client that stopped reading was dropped (%d now)"
                             : "%s: a client disconnected (%d now)",
                  output.c_str(), clients));
}

void ServiceEvents::outputFailed(const std::string& output, const std::string& error) {
    ++m_outputErrors;
    report(kOutputKind, Severity::Error, output + ": " + error);
}

void ServiceEvents::box(const std::string& caption, const std::string& text) {
    // Kind by caption: a logger sending records of an unknown unit raises the same box for each.
    report("box " + caption, Severity::Warning, caption + ": " + text);
}

void RecorderWatch::observe(const RecorderState& now) {
    if (now.portLost != m_last.portLost) {
        if (now.portLost) m_events.portLost(m_comNumber, m_device);
        else m_events.portBack(m_comNumber, m_device);
    }
    if (!now.file.empty() && now.file != m_last.file) m_events.fileOpened(now.file);
    if (now.writesFailing && !m_last.writesFailing) m_events.writesFailing(now.file);
    if (!now.writesFailing && m_last.writesFailing) m_events.writesResumed(now.file, now.failedWrites);
    for (size_t i = 0; i < now.outputs.size(); ++i) {
        const OutputState& o = now.outputs[i];
        const share::OutputFigures before = i < m_last.outputs.size() ? m_last.outputs[i].figures : share::OutputFigures{};
        const share::OutputFigures& f = o.figures;
        const int dropped = int(f.droppedClients - before.droppedClients);
        // Those dropped explain part of the change; the rest came, or left by themselves.
        const int rest = f.clients - before.clients + dropped;
        const int arrived = std::max(0, rest);
        const int left = std::max(0, -rest);
        int clients = before.clients;
        for (int n = 0; n < arrived; ++n) m_events.clientConnected(o.name, ++clients);
        for (int n = 0; n < dropped; ++n) m_events.clientGone(o.name, --clients, true);
        for (int n = 0; n < left; ++n) m_events.clientGone(o.name, --clients, false);
        if (!f.lastError.empty() && f.lastError != before.lastError) m_events.outputFailed(o.name, f.lastError);
        else if (o.protocol == share::Protocol::Udp && f.bytesDropped > before.bytesDropped)
            m_events.outputFailed(o.name, "datagrams could not be sent");
    }
    m_last = now;
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
