// kr8sim: a simulated KR-8 logger on a pseudo-terminal or serial device, for trying the host
// without a logger at hand.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/bytes.h"
#include "kr8sim_cli.h"
#include "simulator.h"

namespace {

bool makeLink(const std::filesystem::path& link, const std::string& target, std::string& error) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(link, ec);
    if (std::filesystem::exists(status)) {
        if (!std::filesystem::is_symlink(status)) {
            error = link.string() + " exists and is not a symbolic link";
            return false;
        }
        std::filesystem::remove(link, ec);
    }
    std::filesystem::create_symlink(target, link, ec);
    if (ec) {
        error = "cannot link " + link.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// Bytes a second at the speed the line is set to (ten bits a character, as 8N1 and 7E1 both
// take), or nothing when it cannot be read. Only asked while the host holds the line open, so
// this brief open never looks like a host arriving.
std::optional<uint32_t> lineBytesPerSecond(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios tio{};
    const bool ok = tcgetattr(fd, &tio) == 0;
    ::close(fd);
    if (!ok) return std::nullopt;
    static const std::pair<speed_t, uint32_t> kSpeeds[] = {
        {B300, 300},     {B600, 600},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},
        {B9600, 9600},   {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    for (const auto& [code, baud] : kSpeeds)
        if (cfgetospeed(&tio) == code) return baud / 10;
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    cv::Kr8SimCommandLine line = cv::parseKr8SimCommandLine(args);
    if (!line.verdict.run()) return cv::cli::finish(line.verdict, "kr8sim", std::cout, std::cerr);
    line.options.logLimit = 10000;  // a simulator left running for days must not grow without end
    if (line.verbose) {
        static std::mutex logMutex;
        line.options.logSink = [](const std::string& text) {
            std::lock_guard lock(logMutex);
            std::cerr << "kr8sim: received " << text << std::endl;
        };
    }

    std::FILE* sentLog = nullptr;
    if (!line.sentLogPath.empty()) {
        sentLog = std::fopen(line.sentLogPath.c_str(), "a");
        if (!sentLog) {
            std::cerr << "kr8sim: cannot open " << line.sentLogPath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        // Written as each packet goes out, so a test reading the file sees it without waiting
        // for the simulator to end.
        line.options.sentSink = [sentLog](const cv::sim::SentMuxPacket& p) {
            std::fprintf(sentLog, "unit %u sequence %u payload %zu time %u%s\n", unsigned(p.unit), unsigned(p.sequence),
                         p.payloadLength(), unsigned(cv::getU32be(p.packet.data() + 8)),
                         p.duplicate ? " duplicate" : "");
            std::fflush(sentLog);
        };
    }

    // The simulator's thread must not take the signals that end the program.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    cv::Kr8Simulator simulator(line.options);
    for (const auto& [number, path] : line.runFiles) {
        std::string error;
        if (!simulator.memory().addRunFile(number, path, &error)) {
            std::cerr << "kr8sim: " << error << "\n";
            return 1;
        }
    }
    if (line.generateRuns > 0) simulator.memory().generateRuns(line.generateRuns, line.generateSeed);

    std::string device;
    try {
        if (line.devicePath.empty()) {
            device = simulator.line().startPty();
        } else {
            simulator.line().startDevice(line.devicePath);
            device = line.devicePath;
        }
    } catch (const std::exception& e) {
        std::cerr << "kr8sim: " << e.what() << "\n";
        return 1;
    }
    if (!line.linkPath.empty()) {
        std::string error;
        if (!makeLink(line.linkPath, device, error)) {
            std::cerr << "kr8sim: " << error << "\n";
            simulator.line().stop();
            return 1;
        }
    }
    std::cout << device << std::endl;

    if (line.paceLine) {
        // The host sets the line's speed on its side of the terminal; follow it until asked to end.
        const timespec interval{0, 200'000'000};
        while (sigtimedwait(&signals, nullptr, &interval) < 0) {
            if (errno != EAGAIN && errno != EINTR) break;
            if (!simulator.line().isConnected()) continue;
            if (const auto bytesPerSecond = lineBytesPerSecond(device)) {
                cv::Kr8SimFaults faults = simulator.probe().faults();
                if (faults.throttleBytesPerSecond != *bytesPerSecond) {
                    faults.throttleBytesPerSecond = *bytesPerSecond;
                    simulator.probe().setFaults(faults);
                }
            }
        }
    } else {
        int received = 0;
        sigwait(&signals, &received);
    }
    simulator.line().stop();
    if (sentLog) std::fclose(sentLog);
    if (!line.linkPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(line.linkPath, ec);
    }
    return 0;
}
