// Cost of one receive call: the 5 ms tick must stay far below a millisecond.
#include <benchmark/benchmark.h>

#include "base/bytes.h"
#include "link/receiver.h"
#include "memory_serial.h"
#include "still_clock.h"

namespace {

struct Rig {
    cv::SilentDialogs dialogs;
    cv::MemorySerialFactory factory;
    cv::PortSlotTable ports{factory, dialogs};
    cv::LoggerRecords records;
    cv::PacketReceiver rx{ports, records};
    Rig() { ports.openPortSlot(0, 1, 6); }
};

// Baseline: copying one 4096-byte buffer, the least a receive call could cost.
void BM_CopyBuffer(benchmark::State& state) {
    std::vector<uint8_t> a(4096, 1), b(4096);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyBuffer);

// A full buffer of bytes that start no packet: the call drops byte after byte.
void BM_ReceiveJunk(benchmark::State& state) {
    Rig rig;
    rig.factory.device.stream.assign(4096 * 16, 0x5A);
    rig.factory.device.loop = true;
    for (auto _ : state) benchmark::DoNotOptimize(rig.rx.receiveLoggerPackets());
}
BENCHMARK(BM_ReceiveJunk);

// Junk made only of packet type bytes, no two equal side by side: every byte looks like the
// start of a packet until its neighbour is seen.
void BM_ReceiveTypeByteJunk(benchmark::State& state) {
    Rig rig;
    rig.factory.device.stream.resize(4096 * 16);
    for (size_t i = 0; i < rig.factory.device.stream.size(); ++i) rig.factory.device.stream[i] = uint8_t(i % 8 + 1);
    rig.factory.device.loop = true;
    for (auto _ : state) benchmark::DoNotOptimize(rig.rx.receiveLoggerPackets());
}
BENCHMARK(BM_ReceiveTypeByteJunk);

// A false mux head waits with almost a buffer behind it, timed against a clock that never
// reaches its bound: the cost of each tick spent waiting.
void BM_ReceiveWaitingFalseHead(benchmark::State& state) {
    StillClock clock;
    Rig rig;
    rig.rx.setClock(&clock);
    std::vector<uint8_t> head(3000, 0x5A);
    head[0] = head[1] = 8;
    cv::putU16be(head.data() + 6, 4000);
    rig.factory.device.stream = head;
    rig.rx.receiveLoggerPackets();
    for (auto _ : state) benchmark::DoNotOptimize(rig.rx.receiveLoggerPackets());
    if (rig.rx.fillCount() != head.size()) state.SkipWithError("the head did not wait");
}
BENCHMARK(BM_ReceiveWaitingFalseHead);

// Back-to-back upload blocks, as during a download at full speed.
void BM_ReceiveUploadBlocks(benchmark::State& state) {
    Rig rig;
    std::vector<uint8_t> block(cv::kUploadBlockLength, 0x33);
    cv::frameBlock(block.data(), block.size(), 4);
    for (int i = 0; i < 64; ++i) rig.factory.device.stream.insert(rig.factory.device.stream.end(), block.begin(), block.end());
    rig.factory.device.loop = true;
    for (auto _ : state) benchmark::DoNotOptimize(rig.rx.receiveLoggerPackets());
    state.counters["framed"] = double(rig.rx.counters().packetsFramed);
}
BENCHMARK(BM_ReceiveUploadBlocks);

} // namespace

BENCHMARK_MAIN();
