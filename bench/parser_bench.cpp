#include "CKdCmdPacket.h"
#include "CKdCmdParser.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr size_t kStreamSize = 1 << 16;

class PacketCounter : public CKdCmdParser::Delegate {
public:
    void PacketCompleted(CKdCmdParser*, const CKdCmdPacket&) override { ++count; }
    int64_t count = 0;
};

// Back-to-back responses with data lengths 0 to 59.
std::vector<uint8_t> ValidPackets() {
    std::mt19937 random(1);
    const uint8_t commands[] = {CKdCmdPacket::kCmdResParameter, CKdCmdPacket::kCmdResVersion, 0xB2};
    std::vector<uint8_t> stream;
    while (stream.size() < kStreamSize) {
        CKdCmdPacket packet(commands[random() % 3], 1 + random() % 255);
        const int length = random() % (CKdCmdPacket::kMaxDataLength + 1);
        for (int i = 0; i < length; ++i)
            packet.Append(static_cast<int>(random()));
        const auto* bytes = static_cast<const uint8_t*>(packet.Bytes());
        stream.insert(stream.end(), bytes, bytes + packet.WireSize());
    }
    return stream;
}

std::vector<uint8_t> RandomBytes() {
    std::mt19937 random(2);
    std::vector<uint8_t> stream(kStreamSize);
    for (uint8_t& byte : stream)
        byte = static_cast<uint8_t>(random());
    return stream;
}

// Feeds the stream in chunks of state.range(0) bytes (the session reads 32 at a time).
void Parse(benchmark::State& state, const std::vector<uint8_t>& stream) {
    const size_t chunk = state.range(0);
    PacketCounter counter;
    CKdCmdParser parser(nullptr);
    parser.SetDelegate(&counter);
    for (auto _ : state) {
        for (size_t at = 0; at < stream.size(); at += chunk) {
            parser.ParseData(stream.data() + at, std::min(chunk, stream.size() - at));
        }
        benchmark::DoNotOptimize(counter.count);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
    state.counters["packets"] = benchmark::Counter(counter.count, benchmark::Counter::kIsRate);
}

void BM_ParseValidPackets(benchmark::State& state) {
    Parse(state, ValidPackets());
}
void BM_ParseRandomBytes(benchmark::State& state) {
    Parse(state, RandomBytes());
}

BENCHMARK(BM_ParseValidPackets)->Arg(32)->Arg(kStreamSize);
BENCHMARK(BM_ParseRandomBytes)->Arg(32)->Arg(kStreamSize);

} // namespace

BENCHMARK_MAIN();
