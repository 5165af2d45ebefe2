#pragma once
// The live stream's side of the network outputs: a stream consumer that cuts each output's
// section into datagrams of whole lines (UDP), hands it on as it is (TCP) or line by line
// (MQTT), and the rule that keeps a TCP client that stopped reading from holding up the others
// or growing memory. No sockets here: the sinks behind it are the Qt side's.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/line_ends.h"
#include "protocol/field_reader.h"
#include "share/network_output.h"
#include "stream/stream_consumer.h"

namespace cv {
class HostClock;
}

namespace cv::share {

// Where one output's bytes go. Called from the stream's tick: it must return at once.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    // UDP: one datagram. TCP: the next piece of the stream.
    virtual void send(std::string_view bytes) = 0;
};

// Cuts bytes into datagrams of one line each, the line end sent as CR LF. CR, LF and CR LF each
// end a line once, also split over two feeds; empty lines are not sent. A line may span any
// number of feeds. A line too long for one datagram goes out in pieces, the line end in the
// last, so the pieces put together are the line. Holds at most one datagram.
class DatagramCutter {
public:
    DatagramCutter() = default;
    explicit DatagramCutter(size_t maxDatagram) : m_max(maxDatagram) {}

    // `prefix` begins each line that starts in these bytes.
    template <class OnDatagram>
    void feed(const uint8_t* bytes, size_t length, std::string_view prefix, OnDatagram&& datagram) {
        m_ends.feed(
            bytes, length,
            [&](const uint8_t* run, size_t n) {
                if (!m_open) {
                    m_datagram.assign(prefix);
                    m_open = true;
                }
                while (n > 0) {
                    // The line end must still fit behind the last piece.
                    if (m_datagram.size() + 2 >= m_max) {
                        datagram(std::string_view(m_datagram));
                        m_datagram.clear();
                    }
                    const size_t room = m_datagram.size() + 2 < m_max ? m_max - 2 - m_datagram.size() : 1;
                    const size_t take = std::min(n, room);
                    m_datagram.append(reinterpret_cast<const char*>(run), take);
                    run += take;
                    n -= take;
                }
            },
            [&] {
                if (!m_open) return;
                m_datagram += "\r\n";
                datagram(std::string_view(m_datagram));
                m_datagram.clear();
                m_open = false;
                ++m_lines;
            });
    }
    uint64_t lines() const { return m_lines; }

private:
    size_t m_max = kMaxDatagram;
    LineEnds m_ends;
    std::string m_datagram;
    bool m_open = false;
    uint64_t m_lines = 0;
};

// The byte stream as it is, or with a prefix at the start of each line; counts the lines.
class LinePrefixer {
public:
    // Calls piece(std::string_view) once with what these bytes become.
    template <class OnPiece>
    void feed(const uint8_t* bytes, size_t length, std::string_view prefix, OnPiece&& piece) {
        const auto* chars = reinterpret_cast<const char*>(bytes);
        m_out.clear();
        size_t copied = 0;  // bytes of this feed already in m_out
        m_ends.feed(
            bytes, length,
            [&](const uint8_t* run, size_t) {
                if (!m_open && !prefix.empty()) {
                    const size_t at = size_t(run - bytes);
                    m_out.append(chars + copied, at - copied);
                    m_out += prefix;
                    copied = at;
                }
                m_open = true;
            },
            [&] {
                if (m_open) ++m_lines;
                m_open = false;
            });
        if (prefix.empty()) {
            piece(std::string_view(chars, length));
            return;
        }
        m_out.append(chars + copied, length - copied);
        piece(std::string_view(m_out));
    }
    uint64_t lines() const { return m_lines; }

private:
    LineEnds m_ends;
    std::string m_out;
    bool m_open = false;
    uint64_t m_lines = 0;
};

// Holds each line until its end, so that a whole line is judged before any of it goes out: with
// `check`, a sentence whose checksum is wrong is held back. A line longer than the bound is held
// back too, as its checksum could not be kept to check it. CR, LF and CR LF each end a line
// once; empty lines are skipped. Holds at most one line.
class LineGate {
public:
    static constexpr size_t kMaxLine = 64 * 1024;
    LineGate() = default;
    explicit LineGate(size_t maxLine) : m_max(maxLine) {}

    // `prefix` begins each line that starts in these bytes; line(std::string_view) gets the
    // prefix and the line, without its end.
    template <class OnLine>
    void feed(const uint8_t* bytes, size_t length, std::string_view prefix, bool check, OnLine&& line) {
        m_ends.feed(
            bytes, length,
            [&](const uint8_t* run, size_t n) {
                if (!m_open) {
                    m_line.assign(prefix);
                    m_prefixLength = prefix.size();
                    m_open = true;
                    m_tooLong = false;
                }
                if (m_tooLong) return;
                if (m_line.size() - m_prefixLength + n > m_max) {
                    m_line.resize(m_prefixLength);
                    m_tooLong = true;
                    return;
                }
                m_line.append(reinterpret_cast<const char*>(run), n);
            },
            [&] {
                if (!m_open) return;
                m_open = false;
                const std::string_view text = std::string_view(m_line).substr(m_prefixLength);
                if (m_tooLong || (check && fields::parseLine(text).checksum == fields::Checksum::Bad)) {
                    ++m_heldBack;
                    return;
                }
                ++m_passed;
                line(std::string_view(m_line));
            });
    }
    uint64_t passed() const { return m_passed; }
    uint64_t heldBack() const { return m_heldBack; }

private:
    size_t m_max = kMaxLine;
    LineEnds m_ends;
    std::string m_line;
    size_t m_prefixLength = 0;
    bool m_open = false;
    bool m_tooLong = false;
    uint64_t m_passed = 0;
    uint64_t m_heldBack = 0;
};

// One TCP client as the fan-out sees it.
class StreamClient {
public:
    virtual ~StreamClient() = default;
    // Bytes handed to the client that the network has not taken yet.
    virtual size_t queued() const = 0;
    virtual void write(std::string_view bytes) = 0;
};

// Hands the same bytes to every client. A client whose queue would go over the bound is given
// up (the caller closes it) and counted with the bytes it missed, so the others go on and
// memory stays flat.
class ClientFanOut {
public:
    explicit ClientFanOut(size_t bound = kClientQueueBound) : m_bound(bound) {}

    void add(StreamClient* client) { m_clients.push_back(client); }
    void remove(StreamClient* client) { std::erase(m_clients, client); }
    // Calls drop(StreamClient*) for each client given up, after the others had their bytes.
    template <class OnDrop>
    void send(std::string_view bytes, OnDrop&& drop) {
        std::vector<StreamClient*> behind;
        for (StreamClient* c : m_clients) {
            const size_t queued = c->queued();
            if (queued + bytes.size() > m_bound) {
                behind.push_back(c);
                m_bytesDropped += queued + bytes.size();
                ++m_droppedClients;
                continue;
            }
            c->write(bytes);
        }
        for (StreamClient* c : behind) {
            remove(c);
            drop(c);
        }
    }
    int clients() const { return int(m_clients.size()); }
    uint64_t droppedClients() const { return m_droppedClients; }
    uint64_t bytesDropped() const { return m_bytesDropped; }

private:
    size_t m_bound;
    std::vector<StreamClient*> m_clients;
    uint64_t m_droppedClients = 0;
    uint64_t m_bytesDropped = 0;
};

// The stream consumer: each running output gets its logger's section of every record. An MQTT
// output's sink gets one line a call, without its end.
class NetworkTap : public StreamConsumer {
public:
    // The PC clock gives the prefix of a line that starts now (utcTimePrefix); it is read once a
    // record at most.
    explicit NetworkTap(HostClock& clock) : m_clock(clock) {}

    // Output `index` (0-based, below kMaxRoutes) sends to `sink` from the next record on, with
    // fresh line state.
    void start(int index, const OutputConfig& config, OutputSink* sink);
    // Nothing more goes to the output's sink.
    void stop(int index);
    uint64_t lines(int index) const;
    // Lines held back by the checksum option (or too long to check).
    uint64_t heldBack(int index) const;

    void takeRecord(const mux::RecordView& record) override;

    // The window's rows and cvrecord's UDP, TCP and MQTT sections together.
    static constexpr int kMaxRoutes = 64;

private:
    struct Route {
        OutputConfig config;
        OutputSink* sink = nullptr;
        DatagramCutter cutter;
        LinePrefixer prefixer;
        LineGate gate;
        std::string line;
        // Whole lines first: to check them, or to publish each as one message.
        bool gated() const { return config.validOnly || config.protocol == Protocol::Mqtt; }
    };
    const Route* route(int index) const;

    HostClock& m_clock;
    std::vector<Route> m_routes;
};

} // namespace cv::share
