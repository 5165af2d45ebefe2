// Cost of one receive call: the 5 ms tick must stay far below a millisecond.
#include <benchmark/benchmark.h>

#include "base/bytes.h"
#include "link/receiver.h"
#include "memory_serial.h"

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
    for (auto _ : state) benchmark::DoNotOptimize(rig.rx.receiveLoggerPackets(0));
}
BENCHMARK(BM_ReceiveJunk);

// Back-to-back upload blocks, as during a download at full speed.
void BM_ReceiveUploadBlocks(benchmark::State& state) {
    Rig rig;
    std::vector<uint8_t> block(cv::kUploadBlockLength, 0x33);
    cv::frameBlock(block.data(), block.size(), 4);
    for (int i = 0; i < 64; ++i) rig.factory.device.stream.insert(rig.factory.device.stream.end(), block.begin(), block.end());
    rig.factory.device.loop = true;
    for (auto _ : state) benchmark::DoNotOptimize(rig.rx.receiveLoggerPackets(0));
    state.counters["framed"] = double(rig.rx.counters().packetsFramed);
}
BENCHMARK(BM_ReceiveUploadBlocks);

} // namespace

BENCHMARK_MAIN();
