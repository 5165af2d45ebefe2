#pragma once
// Network outputs that keep what they were given, one string a datagram.
#include <memory>
#include <string>
#include <vector>

#include "share/network_outputs.h"

namespace cv::test {

class CapturedDatagrams : public share::OutputSocketFactory {
public:
    std::vector<std::string> datagrams;
    std::unique_ptr<share::OutputSocket> make(const share::OutputConfig&) override {
        struct Socket : share::OutputSocket {
            std::vector<std::string>& out;
            explicit Socket(std::vector<std::string>& o) : out(o) {}
            bool start() override { return true; }
            std::string startFault() const override { return {}; }
            share::OutputFigures figures() const override { return {}; }
            void send(std::string_view bytes) override { out.emplace_back(bytes); }
        };
        return std::make_unique<Socket>(datagrams);
    }
};

} // namespace cv::test
