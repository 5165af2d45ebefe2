// cvrecord: records the logger's live stream into archive files without a window. See --help.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "adapters/network_sockets_qt.h"
#include "adapters/serial_port_qt.h"
#include "base/command_line.h"
#include "host/recording_run.h"
#include "link/port_map.h"
#include "link/port_options.h"
#include "service_events.h"
#include "service_notify.h"
#include "share/mqtt_session.h"
#include "share/network_output.h"

namespace {

constexpr const char* kProgram = "cvrecord";
constexpr int kExitFailed = 1;     // the port or the file could not be opened
constexpr int kExitPortTaken = 3;  // another program records from (or shows) the port
constexpr int kExitOutputFailed = 4;  // a network output could not start (its port in use, say)
constexpr int kReceiveMs = 5;      // the window's receive tick

int g_signalPipe[2] = {-1, -1};

extern "C" void onSignal(int number) {
    const char byte = number == SIGUSR1 ? 'u' : 'q';
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// The boxes the window would show become journal lines; none waits. While `quiet` says so they
// are left out (the program says it better itself).
class StderrDialogs : public cv::SilentDialogs {
public:
    explicit StderrDialogs(cv::ServiceEvents& events) : m_events(events) {}
    using cv::SilentDialogs::ask;
    std::function<bool()> quiet;
    cv::Answer ask(const std::string& caption, const std::string& text, cv::Buttons, cv::Icon) override {
        if (!quiet || !quiet()) m_events.box(caption, text);
        return cv::Answer::Ok;
    }

private:
    cv::ServiceEvents& m_events;
};

// The factory keeps the last device it made, to ask it why an open failed.
class RecorderSerialFactory : public cv::SerialDeviceFactory {
public:
    explicit RecorderSerialFactory(const cv::PortMap& map) : m_map(map) {}
    std::unique_ptr<cv::SerialDevice> create() override {
        auto device = std::make_unique<cv::QtSerialDevice>(m_map);
        m_last = device.get();
        return device;
    }
    bool lastTaken() const { return m_last && m_last->taken(); }

private:
    const cv::PortMap& m_map;
    cv::QtSerialDevice* m_last = nullptr;
};

struct Options : cv::RecordingOptions {
    std::vector<std::string> comMappings;
    cv::share::MqttSettings mqtt;
};

const char* const kEpilogue =
    "Exit status: 0 after SIGTERM or SIGINT (the file closed and on the disk), 1 when the port or the "
    "archive file cannot be opened, 2 for a usage error, 3 when another program (the window or "
    "another cvrecord) has the port, 4 when a network output cannot start (its TCP port in use, a bad "
    "address).\n"
    "A status line (records, gaps, file, bytes, the port, the network figures) is printed once a minute "
    "and on SIGUSR1. A device that disappears is looked for again every few seconds and the recording "
    "goes on. What happens (port lost and back, file opened, writes failing, network clients, outputs "
    "failing) is told on standard error as it happens, each line with a syslog severity (<3>, <4>, <6>), "
    "at most 5 lines of a kind a minute.\n"
    "As a service, 'systemctl enable --now cvrecord@NAME' runs it as the user cvrecord with the options "
    "set as CVRECORD_OPTIONS=... in /etc/cvrecord/NAME.conf, in /var/lib/cvrecord, restarting it when it "
    "fails or stops answering the watchdog.";

cv::cli::Verdict readCommandLine(const std::vector<std::string>& args, Options& o) {
    cv::cli::CommandLine line(
        kProgram,
        {"[--com N=DEVICE]... --logger-port N [--speed BAUD] [--auto-baud] (--continuous FILE | --hourly BASE | "
         "--daily BASE) [--udp LOGGER:SECTION=HOST:PORT]... [--tcp LOGGER:SECTION=[ADDR:]PORT]... "
         "[--mqtt HOST[:PORT] [--mqtt-topic PREFIX] [--mqtt-section LOGGER:SECTION]...] [--time-sync]"},
        "Records the KR-8 logger's live stream from the logger port into archive files, as the window's "
        "Record buttons do: the same names, the same bytes. Needs no display.",
        kEpilogue);
    line.option("--com", "N=DEVICE", "Map COM number N (1 to 12) to DEVICE (repeatable); comports.cfg is read first.",
                [&](const std::string& v) -> std::string {
                    if (!cv::isComMapping(v)) return "N=DEVICE with N from 1 to 12";
                    o.comMappings.push_back(v);
                    return {};
                });
    line.option("--logger-port", "N", "The COM number (1 to 12) the logger is wired to.",
                [&](const std::string& v) -> std::string {
                    try {
                        size_t used = 0;
                        const int n = std::stoi(v, &used);
                        if (used == v.size() && n >= 1 && n <= cv::kMaxComNumber) {
                            o.loggerPort = n;
                            return {};
                        }
                    } catch (...) {
                    }
                    return "a COM number from 1 to 12";
                });
    line.option("--speed", "BAUD", "Line speed: 600 .. 115200, 4800,7,E,1 or 9600,7,E,1 (default 9600).",
                [&](const std::string& v) -> std::string {
                    o.speedChoice = cv::speedChoiceOfText(v);
                    return o.speedChoice ? std::string() : cv::speedChoicesText();
                });
    auto mode = [&](cv::RecordingMode m) {
        return [&o, m](const std::string& v) -> std::string {
            o.mode = m;
            o.name = v;
            return {};
        };
    };
    line.option("--continuous", "FILE", "Record into one file (emptied first).", mode(cv::recording::kContinuous));
    line.option("--hourly", "BASE", "Record one file per clock hour, named from BASE.", mode(cv::recording::kHourly));
    line.option("--daily", "BASE", "Record one file per day, named from BASE.", mode(cv::recording::kDaily));
    line.flag("--auto-baud", o.autoBaud,
              "When the logger's bytes stop forming packets, look for its speed as the window's Auto Baud Rate "
              "Detection does.");
    line.flag("--time-sync", o.timeSync,
              "Keep the logger's clock in step with the PC's, as the window's automatic time update does.");
    auto output = [&o](cv::share::Protocol protocol) {
        return [&o, protocol](const std::string& v) -> std::string {
            std::string fault;
            const auto config = cv::share::parseOutputConfig(v, protocol, fault);
            if (!config) return fault;
            if (o.outputs.size() >= size_t(cv::share::kMaxOutputs)) return "at most 8 network outputs";
            o.outputs.push_back(*config);
            return {};
        };
    };
    line.group("Network outputs (as on the window's PC-Logger page)");
    line.option("--udp", "LOGGER:SECTION=HOST:PORT[,time][,valid]",
                "Send the lines of a logger's section (port 1..8, 9) as UDP datagrams to HOST:PORT (repeatable). "
                "HOST: a name, an IPv4 address or an IPv6 address in brackets. ',time' begins each line with the "
                "UTC time, ',valid' holds back sentences with a wrong checksum.",
                output(cv::share::Protocol::Udp));
    line.option("--tcp", "LOGGER:SECTION=[ADDR:]PORT[,time][,valid]",
                "Serve a logger's section as a TCP stream on PORT to every client (repeatable), on every address "
                "of this PC or on ADDR only.",
                output(cv::share::Protocol::Tcp));
    cv::share::addMqttOptions(line, o.mqtt);
    cv::cli::Verdict verdict = line.parse(args);
    if (!verdict.run()) return verdict;
    if (line.count("--continuous") + line.count("--hourly") + line.count("--daily") > 1)
        return cv::cli::usageError("--continuous, --hourly and --daily exclude one another");
    if (o.loggerPort == 0) return cv::cli::usageError("--logger-port is required");
    if (std::string fault = cv::share::mqttSettingsFault(o.mqtt); !fault.empty()) return cv::cli::usageError(fault);
    // The broker's sections are outputs as the window's MQTT rows are, after --udp and --tcp;
    // they share one connection.
    for (cv::share::OutputConfig section : o.mqtt.sections) {
        section.host = o.mqtt.host;
        section.port = o.mqtt.port;
        section.topic = o.mqtt.topic;
        o.outputs.push_back(section);
    }
    if (o.outputs.size() > size_t(cv::share::kMaxOutputs))
        return cv::cli::usageError("at most 8 network outputs, --mqtt-section ones included");
    if (o.mode == cv::recording::kOff) return cv::cli::usageError("one of --continuous, --hourly or --daily is required");
    return verdict;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    const cv::cli::Verdict verdict = readCommandLine(args, options);
    if (!verdict.run()) return cv::cli::finish(verdict, kProgram, std::cout, std::cerr);

    QCoreApplication app(argc, argv);
    cv::PortMap portMap;
    std::string error;
    if (!portMap.load("comports.cfg", &error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return cv::cli::kExitUsage;
    }
    for (const std::string& m : options.comMappings) portMap.addMapping(m);

    cv::SystemClock clock;
    // What happens is told on standard error, a line each with its severity, capped per kind.
    cv::EventJournal journal(kProgram, [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    });
    const std::string device = portMap.deviceFor(options.loggerPort);
    cv::ServiceEvents events(journal, [&clock] { return clock.elapsedMs(); }, options.loggerPort, device);
    cv::ServiceNotify notify;
    StderrDialogs dialogs(events);
    RecorderSerialFactory serial(portMap);
    dialogs.quiet = [&serial] { return serial.lastTaken(); };
    cv::share::QtOutputSocketFactory sockets;
    cv::Host host({clock, dialogs, serial, sockets});
    auto print = [](std::FILE* to) {
        return [to](const std::string& line) {
            std::fprintf(to, "%s: %s\n", kProgram, line.c_str());
            std::fflush(to);
        };
    };
    // What happens goes to the journal as it happens; the run's other faults (another logger on
    // the line) are told as the window's box would be.
    cv::RecordingRun run(host, options, print(stdout), [&](const std::string& line) { events.box("cvrecord", line); });
    // A broker keeps the status line each minute, for subscribers that come later.
    sockets.setMqttStatus([&run] { return run.statusLine(); });
    run.setEvents(&events);
    switch (run.start()) {
    case cv::RecordingRun::Start::Started: break;
    case cv::RecordingRun::Start::PortFailed:
        if (serial.lastTaken()) {
            std::fprintf(stderr, "%s: COM%d (%s) is in use by another program\n", kProgram, options.loggerPort,
                         device.c_str());
            return kExitPortTaken;
        }
        return kExitFailed;
    case cv::RecordingRun::Start::RecordingFailed: return kExitFailed;
    case cv::RecordingRun::Start::OutputFailed: return kExitOutputFailed;
    }
    // The outputs' figures, for the manager's status and the status lines.
    auto outputStates = [&] {
        std::vector<cv::OutputState> outputs;
        bool broker = false;
        for (size_t i = 0; i < options.outputs.size(); ++i) {
            const cv::share::OutputConfig& config = options.outputs[i];
            // The broker's connection is one output however many sections it carries.
            if (config.protocol == cv::share::Protocol::Mqtt && std::exchange(broker, true)) continue;
            outputs.push_back({config.text(), config.protocol, host.network().figures(int(i), true)});
        }
        return outputs;
    };
    auto managerStatus = [&] {
        const cv::ArchiveRecorder& recorder = host.recorder();
        return cv::managerStatus(host.acceptedRecords(), recorder.fileAnswered() ? recorder.fileName() : std::string(),
                                 recorder.failedWrites(), outputStates(), host.ports().isPortLost(cv::kLoggerSlot));
    };
    // Closing the port forgets that it was lost: the last line tells how it was.
    bool portLostAtEnd = false;
    bool ended = false;
    run.setStatusTail([&] {
        const bool lost = ended ? portLostAtEnd : host.ports().isPortLost(cv::kLoggerSlot);
        return cv::serviceStatusTail(lost, outputStates(), events.outputErrors());
    });
    // The first file is opened on the writer's thread, and the port is read from the first tick
    // whether or not the storage has answered: a stalled share holds up the file alone. The
    // manager hears READY once the file has answered; a storage that refuses it ends the program.
    bool ready = false;
    auto readyOnceTheFileAnswered = [&] {
        if (ready || !host.recorder().fileAnswered()) return;
        ready = true;
        notify.ready(managerStatus());
    };
    readyOnceTheFileAnswered();

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return kExitFailed;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGUSR1}) sigaction(s, &action, nullptr);

    auto printStatus = [&] { print(stdout)(run.statusLine()); };
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) == 1) {
            if (byte == 'u')
                printStatus();
            else
                app.quit();
        }
    });
    QTimer receive;
    QObject::connect(&receive, &QTimer::timeout, [&] { run.fastTick(); });
    receive.start(kReceiveMs);
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, [&] {
        run.secondTick();
        readyOnceTheFileAnswered();
        journal.tick(clock.elapsedMs());
        notify.tick(managerStatus());
        if (host.recorder().mode() == cv::recording::kOff) app.exit(kExitFailed);
    });
    second.start(1000);
    std::printf("%s: recording from COM%d (%s)\n", kProgram, options.loggerPort, device.c_str());
    std::fflush(stdout);

    const int exitCode = app.exec();
    notify.stopping();
    portLostAtEnd = host.ports().isPortLost(cv::kLoggerSlot);
    ended = true;
    run.stop();
    journal.flush();
    printStatus();
    return exitCode;
}
