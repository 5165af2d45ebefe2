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

// Reads an integer option into `target`; a value out of range is refused with what was expected.
template <typename T>
cli::CommandLine::Take integer(T& target, T low, T high) {
    return [&target, low, high](const std::string& text) -> std::string {
        const auto parsed = parseInteger<T>(text, low, high);
        if (!parsed) return "a number from " + std::to_string(low) + " to " + std::to_string(high);
        target = *parsed;
        return {};
    };
}

cli::CommandLine::Take fraction(double& target) {
    return [&target](const std::string& text) -> std::string {
        const auto parsed = parseFraction(text);
        if (!parsed) return "a fraction from 0 to 1";
        target = *parsed;
        return {};
    };
}

cli::CommandLine::Take milliseconds(std::chrono::milliseconds& target, long long low, long long high) {
    return [&target, low, high](const std::string& text) -> std::string {
        long long ms = 0;
        if (const std::string expected = integer(ms, low, high)(text); !expected.empty()) return expected;
        target = std::chrono::milliseconds(ms);
        return {};
    };
}

} // namespace

Kr8SimCommandLine parseKr8SimCommandLine(const std::vector<std::string>& args) {
    Kr8SimCommandLine line;
    Kr8SimOptions& o = line.options;
    cli::CommandLine cl("kr8sim", {"[options]"},
                        "Simulates a KR-8 logger on a serial line and prints the device the host should open.");
    cl.group("Line");
    bool pty = false;
    cl.flag("--pty", pty, "run on a fresh pseudo-terminal (the default)");
    cl.option("--device", "PATH", "run on an existing serial device instead (it wins over --pty)", line.devicePath);
    cl.option("--link", "PATH", "also make PATH a symbolic link to the device", line.linkPath);
    cl.flag("--pace-line", line.paceLine,
            "send no faster than the speed the host opened the line with (a pseudo-terminal otherwise takes bytes "
            "at any speed)");

    cl.group("Logger");
    cl.option("--device-type", "N", "1 bq5Plus, 2 KR-8 (default), 3 External bq5Plus",
              integer<int16_t>(o.deviceType, -32768, 32767));
    cl.option("--logger-id", "N", "logger (mux) ID, default 2", integer<int16_t>(o.loggerId, -32768, 32767));
    cl.option("--firmware-word", "N", "the whole firmware word (decimal or 0x hex); --firmware then sets its version",
              integer<uint32_t>(o.firmwareWord, 0, std::numeric_limits<uint32_t>::max()));
    cl.option("--firmware", "X.YY", "firmware version, default 7.06", [&o](const std::string& text) -> std::string {
        const auto word = parseFirmware(text, o.firmwareWord);
        if (!word) return "a version such as 7.06";
        o.firmwareWord = *word;
        return {};
    });
    cl.option("--state", "N", "logger state at start, default 9 (Standby)", integer<int16_t>(o.state, -32768, 32767));
    cl.option("--clock-offset", "SECONDS", "logger clock ahead (+) or behind (-) the PC",
              integer<int64_t>(o.clockOffsetSeconds, -100LL * 365 * 86400, 100LL * 365 * 86400));
    cl.option("--run-stop", "N", "run/stop switch: 0 none, 1 STOP, 2 RUN (default), 4 disabled",
              integer<int16_t>(o.runStopSwitch, -32768, 32767));
    cl.flag("--check-line-speed", o.checkLineSpeed,
            "send garbage while the host's line settings differ from the logger's host port");

    cl.group("Live stream (while sampling)");
    cl.option("--stream-interval", "MS",
              "time between a unit's mux packets; 0 (default) follows the setup's analog rate",
              milliseconds(o.streamInterval, 0, 60000));
    cl.option("--stream-units", "LIST",
              "sender units sharing the line, e.g. 0,1,2,3,4 (0 is the time unit); default the logger alone under "
              "its logger ID",
              [&o](const std::string& text) -> std::string {
                  std::vector<int> units;
                  for (size_t start = 0; start <= text.size();) {
                      const size_t comma = std::min(text.find(',', start), text.size());
                      const auto unit = parseInteger<int>(text.substr(start, comma - start), 0, 4);
                      if (!unit) return "units 0..4 separated by commas";
                      if (std::find(units.begin(), units.end(), *unit) == units.end()) units.push_back(*unit);
                      start = comma + 1;
                  }
                  o.streamUnits = units;
                  return {};
              });
    cl.option("--sent-log", "PATH",
              "append a line per mux packet sent: unit, sequence, payload length, time stamp, and \"duplicate\" "
              "for a repeated packet",
              line.sentLogPath);

    cl.group("Runs in memory");
    cl.option("--run", "N=PATH", "run number N holds the run file at PATH (repeatable)",
              [&line](const std::string& text) -> std::string {
                  const size_t eq = text.find('=');
                  const auto number =
                      eq == std::string::npos ? std::nullopt : parseInteger<int16_t>(text.substr(0, eq), 0, 32767);
                  if (!number || eq + 1 >= text.size()) return "N=PATH";
                  line.runFiles.emplace_back(*number, text.substr(eq + 1));
                  return {};
              });
    cl.option("--generate-runs", "N", "add N generated runs", integer<int>(line.generateRuns, 0, 511));
    cl.option("--seed", "S", "seed of the generated runs and of the faults, default 1",
              integer<uint32_t>(line.generateSeed, 0, std::numeric_limits<uint32_t>::max()));

    cl.group("Faults");
    cl.option("--corrupt-fraction", "F", "damage this fraction of upload blocks (0..1)",
              fraction(o.faults.corruptFraction));
    cl.option("--lost-ack-fraction", "F", "ignore this fraction of block acknowledgements (0..1)",
              fraction(o.faults.lostAckFraction));
    cl.option("--withhold-first-blocks", "N", "answer the next N upload requests with nothing",
              integer<int>(o.faults.withheldFirstBlocks, 0, 1000000));
    cl.option("--throttle", "BPS", "line speed in bytes per second (11520 for 115200 8N1)",
              integer<uint32_t>(o.faults.throttleBytesPerSecond, 0, 100000000));
    cl.option("--ack-timeout", "MS", "repeat an unacknowledged block after MS, default 1000",
              milliseconds(o.ackTimeout, 1, 3600000));
    cl.flag("--baud-mismatch", o.faults.baudMismatch, "send only bytes that never frame, understand nothing");
    cl.flag("--silent", o.faults.silent, "never send anything");
    cl.flag("--false-mux-header", o.faults.falseMuxHeader,
            "once, after the first status, send a mux header that declares 4000 payload bytes and then carry on "
            "without them");
    sim::StreamFaults& stream = o.faults.stream;
    cl.option("--gap-every", "N", "every Nth mux record of a unit skips sequence numbers",
              integer<uint32_t>(stream.gapEvery, 0, 1000000));
    cl.option("--gap-length", "N", "sequence numbers skipped by each gap, default 1",
              integer<uint32_t>(stream.gapLength, 1, 255));
    cl.option("--duplicate-every", "N", "every Nth mux packet of a unit goes out twice",
              integer<uint32_t>(stream.duplicateEvery, 0, 1000000));
    cl.option("--empty-every", "N", "every Nth mux record of a unit carries no payload",
              integer<uint32_t>(stream.emptyEvery, 0, 1000000));
    cl.option("--stray-unit", "U", "sender unit U (5..255) also streams now and then",
              integer<uint8_t>(stream.strayUnit, 5, 255));
    cl.option("--stray-every", "N", "intervals between the stray unit's records, default 10",
              integer<uint32_t>(stream.strayEvery, 1, 1000000));

    cl.group("Other");
    cl.flag("-v,--verbose", line.verbose, "log everything received to standard error");
    line.verdict = cl.parse(args);
    o.seed = line.generateSeed;
    return line;
}

} // namespace cv
