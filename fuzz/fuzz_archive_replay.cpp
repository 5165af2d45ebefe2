// libFuzzer target: any bytes as an archive file, replayed once and continuously at a speed the
// first byte chooses. Every frame must stay inside the buffer and a replay once must end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "archive/archive_replay.h"
#include "base/bytes.h"
#include "fuzz_support.h"

namespace {

const std::string& scratchFile() {
    static const std::string path = "/tmp/fuzz_archive_replay." + std::to_string(getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

    StillClock clock;
    cv::ArchiveReplay replay(clock);
    replay.setSpeed(1 + data[0] % 10);
    // Room a little short of the receive buffer now and then, to push the oversize path.
    const size_t room = data[0] & 0x80 ? cv::kReceiveBufferSize : cv::kReceiveBufferSize / 2;
    uint8_t buffer[cv::kReceiveBufferSize + 16];
    for (cv::RecordingMode mode : {cv::RecordingMode::ReplayOnce, cv::RecordingMode::ReplayContinuous}) {
        if (!replay.start(scratchFile(), mode)) return 0;
        // Each record costs at least one tick and at least 32 bytes, each tick at most 19 ticks:
        // replay once must have asked to stop within this many ticks.
        const size_t bound = 19 * (size / 32 + 2) + 19;
        size_t ticks = 0;
        for (; ticks < bound && !replay.takeStopRequest(); ++ticks) {
            const size_t n = replay.nextPacket(buffer, room);
            if (n > room) __builtin_trap();
            if (n && !cv::packetChecksumOk(buffer, n)) __builtin_trap();
        }
        if (mode == cv::RecordingMode::ReplayOnce && ticks == bound) __builtin_trap();
        replay.stop();
    }
    std::remove(scratchFile().c_str());
    return 0;
}
