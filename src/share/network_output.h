#pragma once
// One network output of the live stream: which logger's port it carries, how and where to. The
// text forms ("2:3=192.168.1.255:5001" for UDP, "2:3=5001" for TCP) are what an operator writes
// on a command line; the page's rows hold the same fields.
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace cv::share {

enum class Protocol { Udp = 0, Tcp = 1 };

constexpr int kMaxOutputs = 8;
constexpr int kLoggerIds = 4;  // 1..4; the PC logger is 1
constexpr int kSections = 9;   // ports 1..8 and the ninth section
// An Ethernet frame's payload less the IP and UDP headers: a datagram this size is never
// fragmented on the way, and a fragment lost would lose the whole line.
constexpr size_t kMaxDatagram = 1472;
// What a TCP client may have waiting before it is given up: a few seconds of a busy logger, so
// a short stall survives, while a client that stopped reading costs bounded memory.
constexpr size_t kClientQueueBound = 256 * 1024;

struct OutputConfig {
    int logger = 2;
    int section = 1;
    Protocol protocol = Protocol::Udp;
    std::string host = "127.0.0.1";  // UDP only: an IPv4 address (unicast, broadcast or multicast)
    int port = 5001;                 // UDP: the destination's; TCP: the one listened on
    bool pcTime = false;             // each line begins with the PC time

    // "LOGGER:SECTION=HOST:PORT" or "LOGGER:SECTION=PORT", as parseOutputConfig reads it.
    std::string text() const;
    bool operator==(const OutputConfig&) const = default;
};

// Reads the text form. On a fault returns nothing and sets `fault` to what was expected.
std::optional<OutputConfig> parseOutputConfig(std::string_view text, std::string& fault);
// What is wrong with a config made on the page, in the parser's words; empty when it is usable.
std::string outputFault(const OutputConfig& config);

std::optional<std::array<uint8_t, 4>> parseIPv4(std::string_view text);
bool isMulticast(std::string_view host);

// "YYYY-MM-DDThh:mm:ss.sss " in the PC's local time.
std::string pcTimePrefix(const std::tm& local, int milliseconds);

// What an output shows on its row.
struct OutputFigures {
    bool on = false;
    std::string fault;  // why it is not running (address in use, bad address); empty when running
    uint64_t lines = 0;
    int clients = 0;               // TCP
    uint64_t droppedClients = 0;   // TCP: clients given up for falling behind
    uint64_t bytesDropped = 0;     // what a dropped client or a failed datagram did not get
    std::string lastError;
};
std::string figuresText(const OutputFigures& figures, Protocol protocol);

} // namespace cv::share
