#pragma once
// The window's recording without the window: the logger port, the receiver, the link
// supervision, the stream and the archive recorder, stepped in the window's order by two
// ticks the program's timers call (every few milliseconds, and once a second).
#include <cstdint>
#include <string>

#include "archive/archive_recorder.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "link/supervision.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
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

    void onMuxRecord(uint8_t* record, size_t length) override { m_stream.acceptMuxRecord(record, length); }
    void takeRecord(const mux::RecordView&) override { ++m_records; }

private:
    HostClock& m_clock;
    WarningBox m_warnings;
    PortSlotTable m_ports;
    LoggerRecords m_loggerRecords;
    PacketReceiver m_receiver;
    LinkSupervisor m_supervisor;
    MuxStream m_stream;
    ArchiveRecorder m_recorder;
    int m_comNumber = 0;
    int m_speedChoice = 6;
    uint64_t m_records = 0;
    int m_lastMinute = -1;
};

} // namespace cv
