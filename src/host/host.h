#pragma once
// The Host: the live road without a window. It owns the logger port and the PC logger's lines,
// the receiver, the supervision and line load, the mux stream with its consumers, the recorder
// and the replay, the PC logger, the network outputs and the status follower with its clock
// rule. The window (TForm1) and cvrecord both drive it through the same ticks, so the two
// cannot record, forward or set the logger's clock differently.
#include <array>
#include <cstdint>

#include "archive/archive_recorder.h"
#include "archive/archive_replay.h"
#include "host/host_events.h"
#include "link/command_sender.h"
#include "link/logger_port.h"
#include "link/port_slots.h"
#include "link/receiver.h"
#include "pclogger/pc_logger.h"
#include "ports/host_clock.h"
#include "ports/operator_dialogs.h"
#include "protocol/logger_records.h"
#include "setup/status_follower.h"
#include "share/network_outputs.h"
#include "stream/mux_stream.h"

namespace cv {

// The consumers of the live stream, in the order each accepted record reaches them. The raw
// display sees a record first, as it came; the PC logger forwards it to its output lines before
// the recorder's file work; the plot and the network outputs follow. The window fills the slots
// of its screens (raw display, plot); cvrecord leaves them empty.
enum class StreamSlot { RawDisplay, PcLoggerForwarding, Recorder, Plot, NetworkOutputs };
constexpr int kStreamSlots = 5;

// The outside world the Host works with.
struct HostDevices {
    HostClock& clock;
    OperatorDialogs& dialogs;
    SerialDeviceFactory& serial;
    share::OutputSocketFactory& sockets;
    // Where the recorder's files live; none: the file system.
    ArchiveFiles* archiveFiles = nullptr;
    RecorderLimits recorderLimits = {};
};

class Host : private PacketConsumer {
public:
    explicit Host(HostDevices devices);
    ~Host() override;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Who hears what changed; none: nobody.
    void setEvents(HostEvents* events) { m_events = events ? events : &m_noEvents; }
    // Upload blocks, directory entries, the calibration and the hardware configuration go here.
    void setPacketConsumer(PacketConsumer* consumer) { m_packets = consumer; }
    // Puts a consumer into its slot of the fixed order (nullptr empties it).
    void setConsumer(StreamSlot slot, StreamConsumer* consumer) { m_slots[size_t(slot)] = consumer; }

    // The 5 ms tick: one receive call with the supervision's rules.
    void fastTick();
    // A receive call outside the tick (bytes announced by the port); the ReceiveResult.
    int receiveNow();
    // The status tick: an arrived status is checked for the logger's identity first, then
    // decoded; the clock-set command goes out on the automatic command sink when due.
    void statusTick(status::TimeSync sync);
    // Once a second: supervision (auto baud included), line load, a lost device tried again,
    // the recorder's minute work, the network outputs' clients.
    void secondTick();
    // The line went away or was opened anew: a status read before must not pass for the answer
    // of whatever is there now, and the next one is checked.
    void lineInterrupted();
    // Starts network output `index`; when it cannot start, outputFailed tells why.
    bool startOutput(int index, const share::OutputConfig& config);

    WarningBox& warnings() { return m_warnings; }
    PortSlotTable& ports() { return m_ports; }
    CommandSink& automaticCommands() { return m_commands; }
    PortCommandSender& commands() { return m_commands; }
    LoggerRecords& records() { return m_records; }
    LoggerFacts& facts() { return m_facts; }
    PacketReceiver& receiver() { return m_receiver; }
    LoggerPort& loggerPort() { return m_loggerPort; }
    MuxStream& stream() { return m_stream; }
    ArchiveRecorder& recorder() { return m_recorder; }
    ArchiveReplay& replay() { return m_replay; }
    pclogger::PcLogger& pcLogger() { return m_pcLogger; }
    share::NetworkOutputs& network() { return m_network; }
    status::StatusFollower& statusFollower() { return m_status; }
    // Records the stream accepted since the start.
    uint64_t acceptedRecords() const { return m_accepted; }

private:
    // The one consumer the stream knows: it hands each record to the slots in their order.
    class SlotFanOut : public StreamConsumer {
    public:
        explicit SlotFanOut(Host& host) : m_host(host) {}
        void takeRecord(const mux::RecordView& record) override;
        void takeRecordFrom(Origin origin, const mux::RecordView& record) override;

    private:
        Host& m_host;
    };

    void onUploadBlock() override;
    void onDirectoryEntry() override;
    void onAnalogCalibration() override;
    void onHardwareConfiguration() override;
    void onMuxRecord(uint8_t* record, size_t length) override;

    HostClock& m_clock;
    HostEvents m_noEvents;
    HostEvents* m_events = &m_noEvents;
    PacketConsumer* m_packets = nullptr;
    WarningBox m_warnings;
    PortSlotTable m_ports;
    PortCommandSender m_commands;
    LoggerRecords m_records;
    LoggerFacts m_facts;
    PacketReceiver m_receiver;
    LoggerPort m_loggerPort;
    MuxStream m_stream;
    ArchiveRecorder m_recorder;
    ArchiveReplay m_replay;
    pclogger::PcLogger m_pcLogger;
    share::NetworkOutputs m_network;
    status::StatusFollower m_status;
    std::array<StreamConsumer*, kStreamSlots> m_slots{};
    SlotFanOut m_fanOut{*this};
    uint64_t m_accepted = 0;
    MinuteWatch m_minutes;
    bool m_recorderFailing = false;
    std::string m_openedFile;  // as last told; empty while no file has answered
};

} // namespace cv
