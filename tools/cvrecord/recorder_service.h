#pragma once
// The window's recording without the window: the logger port, the receiver, the link
// supervision, the stream and the archive recorder, stepped in the window's order by two
// ticks the program's timers call (every few milliseconds, and once a second).
#include <cstdint>
#include <string>

#include "archive/archive_recorder.h"
#include "link/command_sender.h"
#include "link/line_load.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "link/supervision.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
#include "setup/status_record.h"
#include "stream/mux_stream.h"

namespace cv {

class RecorderService : public PacketConsumer, public StreamConsumer {
public:
    RecorderService(HostClock& clock, SerialDeviceFactory& serial, OperatorDialogs& dialogs);
    ~RecorderService() override;

    // Opens COM `comNumber` at the speed choice; false when it cannot be opened.
    bool openLoggerPort(int comNumber, int speedChoice);
    // Starts the recorder: a continuous file, or hourly or daily files from a base name.
    bool startRecording(RecordingMode mode, const std::string& name);
    // Keeps the logger's clock in step with the PC's from its statuses, as the window's
    // automatic time update does (never from a status that waited in a full line).
    void setTimeSync(bool on) { m_timeSync = on; }
    uint32_t clockSets() const { return m_clockSets; }
    // Closes the file (flushed to the disk) and the port.
    void stop();

    // The receive tick: one read, at most one framed packet, as the window's.
    void receiveTick();
    // The one-second tick: supervision, a lost device tried again, the minute close. True when
    // a new clock minute began (the status line is due).
    bool secondTick();

    // "records 120, gaps 0, file run.arc, bytes 5460"
    std::string statusLine() const;
    bool portLost() const { return m_ports.isPortLost(kLoggerSlot); }
    uint64_t records() const { return m_records; }
    MuxStream& stream() { return m_stream; }
    const ArchiveRecorder& recorder() const { return m_recorder; }

    void onMuxRecord(uint8_t* record, size_t length) override { m_stream.acceptMuxRecord(record, length); }
    void takeRecord(const mux::RecordView&) override { ++m_records; }

private:
    void statusStep();

    HostClock& m_clock;
    WarningBox m_warnings;
    PortSlotTable m_ports;
    LoggerRecords m_loggerRecords;
    PacketReceiver m_receiver;
    LinkSupervisor m_supervisor;
    MuxStream m_stream;
    ArchiveRecorder m_recorder;
    PortCommandSender m_commands{m_ports};
    LineLoad m_lineLoad;
    status::StatusTracker m_tracker;
    LoggerFacts m_facts;
    bool m_timeSync = false;
    uint32_t m_clockSets = 0;
    int m_comNumber = 0;
    int m_speedChoice = 6;
    uint64_t m_records = 0;
    int m_lastMinute = -1;
};

} // namespace cv
