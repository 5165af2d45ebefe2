#pragma once
// One network output of the live stream: which logger's port it carries, how and where to. The
// text forms ("2:3=192.168.1.255:5001" for UDP, "2:3=5001" or "2:3=[::1]:5001" for TCP, each
// optionally followed by ",time" and ",valid") are what an operator writes on a command line;
// the page's rows hold the same fields.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cv::share {

enum class Protocol { Udp = 0, Tcp = 1, Mqtt = 2 };

constexpr int kMaxOutputs = 8;
constexpr int kLoggerIds = 4;  // 1..4; the PC logger is 1
constexpr int kSections = 9;   // ports 1..8 and the ninth section
// An Ethernet frame's payload less the IP and UDP headers: a datagram this size is never
// fragmented on the way, and a fragment lost would lose the whole line.
constexpr size_t kMaxDatagram = 1472;
// What a TCP client may have waiting before it is given up: a few seconds of a busy logger, so
// a short stall survives, while a client that stopped reading costs bounded memory.
constexpr size_t kClientQueueBound = 256 * 1024;
constexpr int kMqttPort = 1883;
constexpr const char* kMqttTopicPrefix = "kr8";

struct OutputConfig {
    int logger = 2;
    int section = 1;
    Protocol protocol = Protocol::Udp;
    // UDP: the destination (IPv4, IPv6 or a host name). TCP: the address listened on, empty for
    // every address. MQTT: the broker. IPv6 addresses are kept without brackets.
    std::string host = "127.0.0.1";
    int port = 5001;                 // UDP: the destination's; TCP: the one listened on; MQTT: the broker's
    bool pcTime = false;             // each line begins with the PC time (UTC)
    bool validOnly = false;          // sentences with a wrong checksum are held back and counted
    std::string topic = kMqttTopicPrefix;  // MQTT: the topic prefix

    // The text form parseOutputConfig reads, with ",time" and ",valid" when they are set.
    std::string text() const;
    bool operator==(const OutputConfig&) const = default;
};

// Reads the text form of a UDP ("LOGGER:SECTION=HOST:PORT") or TCP ("LOGGER:SECTION=[ADDR:]PORT")
// output. On a fault returns nothing and sets `fault` to what was expected.
std::optional<OutputConfig> parseOutputConfig(std::string_view text, Protocol protocol, std::string& fault);
// What is wrong with a config made on the page, in the parser's words; empty when it is usable.
std::string outputFault(const OutputConfig& config);

enum class HostKind { IPv4, IPv6, Name };
// What a host text is: an address literal (an IPv6 one without brackets, a zone "%eth0" allowed)
// or a name that has to be looked up; nothing when it is neither.
std::optional<HostKind> hostKind(std::string_view host);
std::optional<std::array<uint8_t, 4>> parseIPv4(std::string_view text);
bool isMulticast(std::string_view host);
// "HOST", "HOST:PORT", "[IPV6]" or "[IPV6]:PORT": the host without brackets and the port when
// one is given. Nothing when the brackets or the port are wrong.
struct HostPort {
    std::string host;
    std::optional<int> port;
};
std::optional<HostPort> splitHostPort(std::string_view text, std::string& fault);
// The host as written in a form: IPv6 addresses in brackets.
std::string hostText(const std::string& host);

// "2026-12-08T14:05:22.713Z ": UTC, ISO 8601, to the millisecond, as each line's prefix.
std::string utcTimePrefix(int64_t utcMs);

// What an output shows on its row.
struct OutputFigures {
    bool on = false;
    std::string fault;  // why it is not running (address in use, bad address); empty when running
    uint64_t lines = 0;
    int clients = 0;               // TCP
    uint64_t droppedClients = 0;   // TCP: clients given up for falling behind
    uint64_t bytesDropped = 0;     // what a dropped client or a failed datagram did not get
    bool validOnly = false;
    uint64_t linesHeldBack = 0;    // sentences with a wrong checksum, lines too long to check
    std::string state;             // MQTT: "connected", "connecting", ...
    uint64_t notQueued = 0;        // MQTT: lines the broker's queue had no room for
    std::string lastError;
};
std::string figuresText(const OutputFigures& figures, Protocol protocol);

} // namespace cv::share
