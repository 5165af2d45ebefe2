// cvhost: the host program for the KR-8 logger.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

#include "app/host_application_qt.h"
#include "base/command_line.h"
#include "app/hostmain_window.h"
#include "link/link_screen_qt.h"
#include "app/operator_dialogs_qt.h"
#include "adapters/serial_port_qt.h"
#include "link/port_options.h"
#include "protocol/speed_choices.h"
#include "share/network_screen_qt.h"

namespace {

bool haveDisplay() {
#ifdef __linux__
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

// Starts the logger simulator in its own process on a pseudo-terminal and returns its device.
// It sends no faster than the speed the port is opened with, as a real line would, so an upload
// takes the time it takes with a logger; `extra` is handed to it as it stands.
QString startSimulator(QProcess& sim, const QStringList& extra) {
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("kr8sim");
    sim.setProgram(program);
    sim.setArguments(QStringList{"--pty", "--generate-runs", "6", "--pace-line"} + extra);
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_LINUX
    // The simulator ends with the window however the window ends, a kill included, so no
    // orphan keeps a pseudo-terminal and its generated runs.
    sim.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    sim.start();
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) return {};
    return QString::fromUtf8(sim.readLine()).trimmed();
}

struct Options {
    bool simulate = false;
    QStringList simulateOptions;
    QStringList comMappings;
    int loggerPort = 0;   // 0: none opened at start-up
    int speedChoice = 6;  // 9600
};

// Reads cvhost's options; the verdict says whether the program goes on.
cv::cli::Verdict readCommandLine(const QStringList& arguments, Options& options) {
    const auto usageError = [](const QString& fault) { return cv::cli::usageError(fault.toStdString()); };
    QCommandLineParser parser;
    parser.setApplicationDescription("CV Logger Host: set up, watch and download the KR-8 logger.");
    const QCommandLineOption help(QStringList{"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version(QStringList{"v", "version"}, "Show the version and exit.");
    QCommandLineOption simulate("simulate",
                                "Start a simulated logger, paced at the speed its port is opened with, and connect it "
                                "on COM1 (9600 baud unless --speed says otherwise).");
    QCommandLineOption simulateOption("simulate-option",
                                      "Hand OPTION to the simulated logger (repeatable), e.g. "
                                      "--simulate-option=--generate-runs=5; see kr8sim --help.",
                                      "OPTION");
    QCommandLineOption com("com", "Map COM number N (1 to 12) to DEVICE (repeatable), e.g. --com 3=/dev/ttyUSB0.",
                           "N=DEVICE");
    QCommandLineOption loggerPort("logger-port", "Open COM N (1 to 12) as the logger port at start-up.", "N");
    QCommandLineOption speed("speed", "Speed for --logger-port or --simulate: " + QString::fromStdString(cv::speedChoicesText()) + " (default 9600).",
                             "BAUD", "9600");
    parser.addOptions({help, version, simulate, simulateOption, com, loggerPort, speed});
    if (!parser.parse(arguments)) {
        // In the words the programs built on the core use for the same faults.
        for (const QString& name : parser.unknownOptionNames())
            for (const QString& a : arguments.mid(1))
                if (a == "-" + name || a == "--" + name || a.startsWith("--" + name + "="))
                    return usageError(QString("unknown option '%1'").arg(a.section('=', 0, 0)));
        for (const QCommandLineOption& o : {simulateOption, com, loggerPort, speed})
            if (arguments.last() == "--" + o.names().first())
                return usageError(QString("--%1 needs a value").arg(o.names().first()));
        for (const QCommandLineOption& o : {help, version, simulate})
            for (const QString& a : arguments.mid(1))
                if (a.startsWith("--" + o.names().last() + "="))
                    return usageError(QString("--%1 takes no value").arg(o.names().last()));
        return usageError(parser.errorText());
    }
    // With no application object yet the parser cannot know the program's name.
    if (parser.isSet(help))
        return {cv::cli::Verdict::Help, parser.helpText().replace("<executable_name>", "cvhost").toStdString()};
    if (parser.isSet(version)) return {cv::cli::Verdict::Version, cv::cli::versionLine("cvhost")};
    if (!parser.positionalArguments().isEmpty())
        return usageError(QString("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    options.comMappings = parser.values(com);
    for (const QString& m : options.comMappings)
        if (!cv::isComMapping(m.toStdString())) return usageError(QString("--com '%1': expected N=DEVICE with N from 1 to 12").arg(m));
    if (parser.isSet(loggerPort)) {
        bool ok = false;
        options.loggerPort = parser.value(loggerPort).toInt(&ok);
        if (!ok || options.loggerPort < 1 || options.loggerPort > cv::kMaxComNumber)
            return usageError(QString("--logger-port '%1': expected a COM number from 1 to 12")
                                  .arg(parser.value(loggerPort)));
    }
    if (parser.isSet(speed)) {
        if (!parser.isSet(loggerPort) && !parser.isSet(simulate))
            return usageError("--speed needs --logger-port (or --simulate) to say which port it is for");
        options.speedChoice = cv::speedChoiceOfText(parser.value(speed).toStdString());
        if (options.speedChoice == 0)
            return usageError(QString("--speed '%1': expected %2").arg(parser.value(speed), QString::fromStdString(cv::speedChoicesText())));
    }
    options.simulate = parser.isSet(simulate);
    options.simulateOptions = parser.values(simulateOption);
    if (parser.isSet(simulateOption) && !options.simulate) return usageError("--simulate-option needs --simulate");
    return {};
}

} // namespace

int main(int argc, char** argv) {
    // The command line is read before the window system is reached, so --help, --version and
    // a usage error work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    Options options;
    const cv::cli::Verdict verdict = readCommandLine(arguments, options);
    if (!verdict.run()) return cv::cli::finish(verdict, "cvhost", std::cout, std::cerr);

    if (!haveDisplay()) {
        std::fprintf(stderr, "cvhost: no display available (set DISPLAY, or run it under xvfb-run).\n");
        return 2;
    }
    cv::HostApplication app(argc, argv);
    QApplication::setApplicationName("cvhost");
    QApplication::setApplicationVersion(QString::fromStdString(cv::cli::programVersion()));

    cv::PortMap portMap;
    std::string error;
    if (!portMap.load("comports.cfg", &error)) {
        std::fprintf(stderr, "cvhost: %s\n", error.c_str());
        return 2;
    }
    for (const QString& m : options.comMappings) {
        if (!portMap.addMapping(m.toStdString(), &error)) {
            std::fprintf(stderr, "cvhost: %s\n", error.c_str());
            return 2;
        }
    }

    QProcess simulator;
    int portNumber = options.loggerPort;
    if (options.simulate) {
        const QString device = startSimulator(simulator, options.simulateOptions);
        if (device.isEmpty()) {
            std::fprintf(stderr, "cvhost: could not start the logger simulator (kr8sim)\n");
            return 2;
        }
        portMap.set(1, device.toStdString());
        if (portNumber == 0) portNumber = 1;
    }

    cv::SystemClock clock;
    cv::QtOperatorDialogs dialogs;
    cv::QtSerialFactory serial(portMap);
    std::error_code cwdError;
    const std::filesystem::path startupDirectory = std::filesystem::current_path(cwdError);
    cv::TForm1 window({clock, dialogs, serial, &portMap,
                       cwdError ? std::nullopt : std::optional<std::filesystem::path>(startupDirectory),
                       cv::share::NetworkScreen::defaultSettingsFile().toStdString()});
    dialogs.setParent(&window);
    cv::WarningBox& warnings = window.services().warnings;
    app.setReporter([&warnings](const std::string& what) { warnings.show("Program Error", what); });
    if (portNumber > 0) window.linkScreen()->selectLoggerPort(portNumber, options.speedChoice);
    window.startTimers();
    window.show();
    const int rc = app.exec();
    if (simulator.state() != QProcess::NotRunning) {
        simulator.terminate();
        if (!simulator.waitForFinished(2000)) simulator.kill();
    }
    return rc;
}
