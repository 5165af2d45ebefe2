// cvhost: the host program for the KR-8 logger.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/host_application_qt.h"
#include "app/hostmain_window.h"
#include "link/link_screen_qt.h"
#include "app/operator_dialogs_qt.h"
#include "app/serial_port_qt.h"

namespace {

bool haveDisplay() {
#ifdef __linux__
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

// "9600", "115200", "4800,7,E,1" or "9600,7,E,1" to a speed choice; 0 when unknown.
int speedChoiceOfText(const QString& text) {
    const QString t = QString(text).remove(' ');
    for (size_t i = 1; i < cv::kSpeedChoiceItems.size(); ++i)
        if (QString(cv::kSpeedChoiceItems[i]).remove(' ') == t) return int(i);
    return 0;
}

// Starts the logger simulator in its own process on a pseudo-terminal and returns its device.
QString startSimulator(QProcess& sim) {
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("kr8sim");
    sim.setProgram(program);
    sim.setArguments({"--pty", "--generate-runs", "6"});
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) return {};
    return QString::fromUtf8(sim.readLine()).trimmed();
}

} // namespace

int main(int argc, char** argv) {
    if (!haveDisplay()) {
        std::fprintf(stderr, "cvhost: no display available (set DISPLAY, or run it under xvfb-run).\n");
        return 2;
    }
    cv::HostApplication app(argc, argv);
    QApplication::setApplicationName("cvhost");
    QApplication::setApplicationVersion(CVHOST_VERSION_TEXT " (build " CVHOST_BUILD_TEXT ")");

    QCommandLineParser parser;
    parser.setApplicationDescription("CV Logger Host: set up, watch and download the KR-8 logger.");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption simulate("simulate", "Start a simulated logger and connect it on COM1 at 9600 baud.");
    QCommandLineOption com("com", "Map COM number N to DEVICE (repeatable), e.g. --com 3=/dev/ttyUSB0.", "N=DEVICE");
    QCommandLineOption loggerPort("logger-port", "Open COM N as the logger port at start-up.", "N");
    QCommandLineOption speed("speed", "Speed for --logger-port: 600 .. 115200, 4800,7,E,1 or 9600,7,E,1 (default 9600).",
                             "BAUD", "9600");
    parser.addOptions({simulate, com, loggerPort, speed});
    parser.process(app);

    cv::PortMap portMap;
    std::string error;
    if (!portMap.load("comports.cfg", &error)) {
        std::fprintf(stderr, "cvhost: %s\n", error.c_str());
        return 2;
    }
    for (const QString& m : parser.values(com)) {
        if (!portMap.addMapping(m.toStdString(), &error)) {
            std::fprintf(stderr, "cvhost: %s\n", error.c_str());
            return 2;
        }
    }
    int portNumber = 0;
    int speedChoice = 6;
    if (parser.isSet(loggerPort)) {
        bool ok = false;
        portNumber = parser.value(loggerPort).toInt(&ok);
        if (!ok || portNumber < 1 || portNumber > cv::kMaxComNumber) {
            std::fprintf(stderr, "cvhost: --logger-port needs a COM number from 1 to 12\n");
            return 2;
        }
    }
    if (parser.isSet(speed)) {
        speedChoice = speedChoiceOfText(parser.value(speed));
        if (speedChoice == 0) {
            std::fprintf(stderr, "cvhost: unknown --speed \"%s\"\n", qPrintable(parser.value(speed)));
            return 2;
        }
    }

    QProcess simulator;
    if (parser.isSet(simulate)) {
        const QString device = startSimulator(simulator);
        if (device.isEmpty()) {
            std::fprintf(stderr, "cvhost: could not start the logger simulator (kr8sim)\n");
            return 2;
        }
        portMap.set(1, device.toStdString());
        if (!parser.isSet(loggerPort)) portNumber = 1;
    }

    cv::SystemClock clock;
    cv::QtOperatorDialogs dialogs;
    cv::QtSerialFactory serial(portMap);
    std::error_code cwdError;
    const std::filesystem::path startupDirectory = std::filesystem::current_path(cwdError);
    cv::TForm1 window({clock, dialogs, serial, &portMap,
                       cwdError ? std::nullopt : std::optional<std::filesystem::path>(startupDirectory)});
    dialogs.setParent(&window);
    cv::WarningBox& warnings = window.services().warnings;
    app.setReporter([&warnings](const std::string& what) { warnings.show("Program Error", what); });
    if (portNumber > 0) window.linkScreen()->selectLoggerPort(portNumber, speedChoice);
    window.startTimers();
    window.show();
    const int rc = app.exec();
    if (simulator.state() != QProcess::NotRunning) {
        simulator.terminate();
        if (!simulator.waitForFinished(2000)) simulator.kill();
    }
    return rc;
}
