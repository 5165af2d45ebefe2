#pragma once
// The live stream feeding the network outputs, with records made by hand: what the network
// tests put on the line and what the outputs make of it.
#include <algorithm>
#include <string>
#include <vector>

#include "adapters/network_sockets_qt.h"
#include "base/bytes.h"
#include "protocol/mux_record.h"
#include "share/network_outputs.h"
#include "stream/mux_stream.h"
#include "support/fakes.h"

namespace cv::share {

// A record of `unit` as it arrives on the line, `bytes` in section `section`.
inline std::vector<uint8_t> muxRecord(int unit, int seq, int section, const std::string& bytes) {
    std::vector<uint8_t> r(mux::kOverhead + bytes.size(), 0);
    r[0] = 1;
    r[2] = uint8_t(unit);
    r[3] = uint8_t(seq);
    putU16be(&r[4], uint16_t(bytes.size()));
    putU16be(&r[10 + 2 * (section - 1)], uint16_t(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), r.begin() + mux::kHeaderLength);
    std::copy_n("####", 4, r.end() - 4);
    return r;
}

// The same record with its header in host order, as consumers get it.
inline std::vector<uint8_t> hostRecord(int unit, int seq, int section, const std::string& bytes) {
    std::vector<uint8_t> r = muxRecord(unit, seq, section, bytes);
    mux::headerToHostOrder(r.data());
    return r;
}

struct StreamRig {
    test::FakeDialogs dialogs;
    WarningBox warnings{dialogs};
    MuxStream stream{warnings};
    test::FakeClock clock;
    QtOutputSocketFactory sockets;
    NetworkOutputs outputs{sockets, clock};
    StreamRig() { stream.addConsumer(&outputs.tap()); }
    int seq = 0;
    void feed(int unit, int section, const std::string& bytes) {
        std::vector<uint8_t> r = muxRecord(unit, seq++ & 0xFF, section, bytes);
        stream.acceptMuxRecord(r.data(), r.size());
    }
};

} // namespace cv::share
