#include "kr8sim_cli.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>

namespace cv {

namespace {

template <typename T>
std::optional<T> parseInteger(const std::string& text, T low, T high) {
    long long value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, value, base);
    if (ec != std::errc() || ptr != end || begin == end || value < (long long)low || value > (long long)high)
        return std::nullopt;
    return T(value);
}

std::optional<double> parseFraction(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(value >= 0.0 && value <= 1.0)) return std::nullopt;
    return value;
}

// "7.06" -> major 7, minor 6 (hundredths); "7.5" means 7.50.
std::optional<uint32_t> parseFirmware(const std::string& text, uint32_t current) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos) return std::nullopt;
    const auto major = parseInteger<int>(text.substr(0, dot), 0, 15);
    std::string fraction = text.substr(dot + 1);
    if (fraction.empty() || fraction.size() > 2) return std::nullopt;
    if (fraction.size() == 1) fraction += '0';
    const auto minor = parseInteger<int>(fraction, 0, 99);
    if (!major || !minor) return std::nullopt;
    return (current & 0x000FFFFFu) | (uint32_t(*major) << 28) | (uint32_t(*minor) << 20);
}

} // namespace

std::string kr8SimUsage() {
    return "Usage: kr8sim [options]\n"
           "Simulates a KR-8 logger on a serial line and prints the device the host should open.\n"
           "\n"
           "Line:\n"
           "  --pty                     run on a fresh pseudo-terminal (default)\n"
           "  --device PATH             run on an existing serial device instead\n"
           "  --link PATH               also make PATH a symbolic link to the device\n"
           "  --pace-line               send no faster than the speed the host opened the line with\n"
           "                            (a pseudo-terminal otherwise takes bytes at any speed)\n"
           "\n"
           "Logger:\n"
           "  --device-type N           1 bq5Plus, 2 KR-8 (default), 3 External bq5Plus\n"
           "  --logger-id N             logger (mux) ID, default 2\n"
           "  --firmware X.YY           firmware version, default 7.06\n"
           "  --firmware-word N         the whole firmware word (decimal or 0x hex)\n"
           "  --state N                 logger state at start, default 9 (Standby)\n"
           "  --clock-offset SECONDS    logger clock ahead (+) or behind (-) the PC\n"
           "  --run-stop N              run/stop switch: 0 none, 1 STOP, 2 RUN (default), 4 disabled\n"
           "  --check-line-speed        send garbage while the host's line settings differ from the\n"
           "                            logger's host port\n"
           "\n"
           "Live stream (while sampling):\n"
           "  --stream-interval MS      time between a unit's mux packets; 0 (default) follows the\n"
           "                            setup's analog rate\n"
           "  --stream-units LIST       sender units sharing the line, e.g. 0,1,2,3,4 (0 is the time\n"
           "                            unit); default the logger alone under its logger ID\n"
           "  --sent-log PATH           append a line per mux packet sent: unit, sequence, payload\n"
           "                            length, time stamp, and \"duplicate\" for a repeated packet\n"
           "\n"
           "Runs in memory:\n"
           "  --run N=PATH              run number N holds the run file at PATH (repeatable)\n"
           "  --generate-runs N         add N generated runs\n"
           "  --seed S                  seed of the generated runs and of the faults, default 1\n"
           "\n"
           "Faults:\n"
           "  --corrupt-fraction F      damage this fraction of upload blocks (0..1)\n"
           "  --lost-ack-fraction F     ignore this fraction of block acknowledgements (0..1)\n"
           "  --withhold-first-blocks N answer the next N upload requests with nothing\n"
           "  --throttle BPS            line speed in bytes per second (11520 for 115200 8N1)\n"
           "  --ack-timeout MS          repeat an unacknowledged block after MS, default 1000\n"
           "  --baud-mismatch           send only bytes that never frame, understand nothing\n"
           "  --silent                  never send anything\n"
           "  --false-mux-header        once, after the first status, send a mux header that declares\n"
           "                            4000 payload bytes and then carry on without them\n"
           "  --gap-every N             every Nth mux record of a unit skips sequence numbers\n"
           "  --gap-length N            sequence numbers skipped by each gap, default 1\n"
           "  --duplicate-every N       every Nth mux packet of a unit goes out twice\n"
           "  --empty-every N           every Nth mux record of a unit carries no payload\n"
           "  --stray-unit U            sender unit U (5..255) also streams now and then\n"
           "  --stray-every N           intervals between the stray unit's records, default 10\n"
           "\n"
           "  --verbose                 log everything received to standard error\n"
           "  --help                    show this text\n";
}

Kr8SimCommandLine parseKr8SimCommandLine(const std::vector<std::string>& args) {
    Kr8SimCommandLine line;
    auto fail = [&](const std::string& message) {
        if (line.error.empty()) line.error = message;
    };
    for (size_t i = 0; i < args.size() && line.error.empty(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            fail(name + " needs a value");
            return std::nullopt;
        };
        auto flag = [&]() {
            if (inlineValue) fail(name + " takes no value");
        };
        auto integer = [&](auto& target, auto low, auto high) {
            using T = std::remove_reference_t<decltype(target)>;
            const auto text = value();
            if (!text) return;
            const auto parsed = parseInteger<T>(*text, T(low), T(high));
            if (!parsed) {
                fail(name + ": not a number from " + std::to_string(low) + " to " + std::to_string(high) + ": " + *text);
                return;
            }
            target = *parsed;
        };
        auto fraction = [&](double& target) {
            const auto text = value();
            if (!text) return;
            const auto parsed = parseFraction(*text);
            if (!parsed) {
                fail(name + ": not a fraction from 0 to 1: " + *text);
                return;
            }
            target = *parsed;
        };
        Kr8SimOptions& o = line.options;

        if (name == "--help" || name == "-h") {
            flag();
            line.help = true;
        } else if (name == "--pty") {
            flag();
            line.devicePath.clear();
        } else if (name == "--device") {
            if (auto v = value()) line.devicePath = *v;
            if (line.error.empty() && line.devicePath.empty()) fail("--device needs a path");
        } else if (name == "--link") {
            if (auto v = value()) line.linkPath = *v;
            if (line.error.empty() && line.linkPath.empty()) fail("--link needs a path");
        } else if (name == "--device-type") {
            integer(o.deviceType, -32768, 32767);
        } else if (name == "--logger-id") {
            integer(o.loggerId, -32768, 32767);
        } else if (name == "--firmware") {
            if (auto v = value()) {
                if (auto word = parseFirmware(*v, o.firmwareWord)) o.firmwareWord = *word;
                else fail("--firmware: expected a version such as 7.06: " + *v);
            }
        } else if (name == "--firmware-word") {
            integer(o.firmwareWord, 0u, std::numeric_limits<uint32_t>::max());
        } else if (name == "--state") {
            integer(o.state, -32768, 32767);
        } else if (name == "--clock-offset") {
            integer(o.clockOffsetSeconds, -100LL * 365 * 86400, 100LL * 365 * 86400);
        } else if (name == "--run-stop") {
            integer(o.runStopSwitch, -32768, 32767);
        } else if (name == "--pace-line") {
            flag();
            line.paceLine = true;
        } else if (name == "--check-line-speed") {
            flag();
            o.checkLineSpeed = true;
        } else if (name == "--run") {
            if (auto v = value()) {
                const size_t eq = v->find('=');
                const auto number = eq == std::string::npos ? std::nullopt : parseInteger<int16_t>(v->substr(0, eq), 0, 32767);
                if (!number || eq + 1 >= v->size()) fail("--run: expected N=PATH: " + *v);
                else line.runFiles.emplace_back(*number, v->substr(eq + 1));
            }
        } else if (name == "--generate-runs") {
            integer(line.generateRuns, 0, 511);
        } else if (name == "--seed") {
            integer(line.generateSeed, 0u, std::numeric_limits<uint32_t>::max());
            o.seed = line.generateSeed;
        } else if (name == "--corrupt-fraction") {
            fraction(o.faults.corruptFraction);
        } else if (name == "--lost-ack-fraction") {
            fraction(o.faults.lostAckFraction);
        } else if (name == "--withhold-first-blocks") {
            integer(o.faults.withheldFirstBlocks, 0, 1000000);
        } else if (name == "--throttle") {
            integer(o.faults.throttleBytesPerSecond, 0u, 100000000u);
        } else if (name == "--ack-timeout") {
            long long ms = o.ackTimeout.count();
            integer(ms, 1LL, 3600000LL);
            o.ackTimeout = std::chrono::milliseconds(ms);
        } else if (name == "--baud-mismatch") {
            flag();
            o.faults.baudMismatch = true;
        } else if (name == "--silent") {
            flag();
            o.faults.silent = true;
        } else if (name == "--false-mux-header") {
            flag();
            o.faults.falseMuxHeader = true;
        } else if (name == "--stream-interval") {
            long long ms = o.streamInterval.count();
            integer(ms, 0LL, 60000LL);
            o.streamInterval = std::chrono::milliseconds(ms);
        } else if (name == "--stream-units") {
            if (auto v = value()) {
                o.streamUnits.clear();
                size_t start = 0;
                while (line.error.empty() && start <= v->size()) {
                    const size_t comma = std::min(v->find(',', start), v->size());
                    const auto unit = parseInteger<int>(v->substr(start, comma - start), 0, 4);
                    if (!unit) fail("--stream-units: expected units 0..4 separated by commas: " + *v);
                    else if (std::find(o.streamUnits.begin(), o.streamUnits.end(), *unit) == o.streamUnits.end())
                        o.streamUnits.push_back(*unit);
                    start = comma + 1;
                }
            }
        } else if (name == "--sent-log") {
            if (auto v = value()) line.sentLogPath = *v;
            if (line.error.empty() && line.sentLogPath.empty()) fail("--sent-log needs a path");
        } else if (name == "--gap-every") {
            integer(o.faults.stream.gapEvery, 0u, 1000000u);
        } else if (name == "--gap-length") {
            integer(o.faults.stream.gapLength, 1u, 255u);
        } else if (name == "--duplicate-every") {
            integer(o.faults.stream.duplicateEvery, 0u, 1000000u);
        } else if (name == "--empty-every") {
            integer(o.faults.stream.emptyEvery, 0u, 1000000u);
        } else if (name == "--stray-unit") {
            integer(o.faults.stream.strayUnit, uint8_t(5), uint8_t(255));
        } else if (name == "--stray-every") {
            integer(o.faults.stream.strayEvery, 1u, 1000000u);
        } else if (name == "--verbose" || name == "-v") {
            flag();
            line.verbose = true;
        } else {
            fail(name.rfind("-", 0) == 0 ? "unknown option: " + args[i] : "unexpected argument: " + args[i]);
        }
    }
    return line;
}

} // namespace cv
