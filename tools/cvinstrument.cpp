// cvinstrument: a serial instrument on a pseudo-terminal. It prints the device path, then sends
// NMEA-like lines at the chosen rate until stopped, so the PC logger can be tried without an
// instrument at hand: map a COM number to the path (comports.cfg or --com N=PATH) and choose
// "Meter Input" for that port on the PC-Logger page.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "base/command_line.h"

namespace {

volatile sig_atomic_t g_stop = 0;

struct Options {
    double rate = 1.0;
    long count = 0;  // 0: until interrupted
    std::string talker = "GPGGA";
    std::string link;
};

cv::cli::Verdict readCommandLine(const std::vector<std::string>& args, Options& o) {
    cv::cli::CommandLine line("cvinstrument", {"[--rate LINES_PER_SECOND] [--count N] [--talker NAME] [--link PATH]"},
                              "Plays a serial instrument on a pseudo-terminal: prints the device path, then sends\n"
                              "NMEA-like lines with their checksums until stopped.");
    line.option("--rate", "LINES_PER_SECOND", "lines per second, 0.1 to 100 (default 1)", [&o](const std::string& v) {
        char* end = nullptr;
        const double rate = std::strtod(v.c_str(), &end);
        if (end != v.c_str() + v.size() || !(rate >= 0.1 && rate <= 100.0)) return "a rate from 0.1 to 100";
        o.rate = rate;
        return "";
    });
    line.option("--count", "N", "stop after N lines (default: run until interrupted)", [&o](const std::string& v) {
        long count = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), count);
        if (ec != std::errc() || end != v.data() + v.size() || count < 0) return "a count of 0 or more";
        o.count = count;
        return "";
    });
    line.option("--talker", "NAME", "sentence name after the '$' (default GPGGA)", [&o](const std::string& v) {
        if (v.size() > 20) return "a name of at most 20 characters";
        o.talker = v;
        return "";
    });
    line.option("--link", "PATH", "also make PATH a symbolic link to the device", o.link);
    return line.parse(args);
}

// The sentence with its checksum: XOR of the characters between '$' and '*'.
std::string sentence(const std::string& talker, long n) {
    const long tenths = n % 864000;
    char body[160];
    std::snprintf(body, sizeof body, "%s,%02ld%02ld%02ld.%01ld,4807.%03ld,N,01131.000,E,1,08,0.9,%.1f,M,46.9,M,,",
                  talker.c_str(), tenths / 36000, tenths / 600 % 60, tenths / 10 % 60, tenths % 10, n % 1000,
                  545.4 + std::sin(double(n) / 10.0));
    unsigned sum = 0;
    for (const char* p = body; *p; ++p) sum ^= unsigned(static_cast<unsigned char>(*p));
    char line[200];
    std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum & 0xFF);
    return line;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    const cv::cli::Verdict verdict = readCommandLine(std::vector<std::string>(argv + 1, argv + argc), o);
    if (!verdict.run()) return cv::cli::finish(verdict, "cvinstrument", std::cout, std::cerr);
    const double rate = o.rate;
    const long count = o.count;
    const std::string& talker = o.talker;
    const std::string& link = o.link;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "cvinstrument: no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string device = ptsname(master);
    // Held open so the line stays up while the host opens and closes its side.
    const int keep = open(device.c_str(), O_RDWR | O_NOCTTY);
    if (keep >= 0) {
        termios t{};
        tcgetattr(keep, &t);
        cfmakeraw(&t);
        tcsetattr(keep, TCSANOW, &t);
    }
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(device.c_str(), link.c_str()) != 0)
            std::fprintf(stderr, "cvinstrument: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    }
    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    signal(SIGINT, [](int) { g_stop = 1; });
    signal(SIGTERM, [](int) { g_stop = 1; });
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(1.0 / rate));
    auto next = std::chrono::steady_clock::now();
    for (long n = 0; !g_stop && (count == 0 || n < count); ++n) {
        const std::string line = sentence(talker, n);
        // Nobody reading: the terminal's buffer fills and the line is dropped, as an instrument
        // talking to an unplugged cable would.
        const int flags = fcntl(master, F_GETFL);
        fcntl(master, F_SETFL, flags | O_NONBLOCK);
        if (write(master, line.data(), line.size()) < 0 && errno != EAGAIN) break;
        next += period;
        std::this_thread::sleep_until(next);
        // Drain what the host sends back, so its writes never stall.
        char sink[256];
        while (read(master, sink, sizeof sink) > 0) {
        }
    }
    if (!link.empty()) unlink(link.c_str());
    if (keep >= 0) close(keep);
    close(master);
    return 0;
}
