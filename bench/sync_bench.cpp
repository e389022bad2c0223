#include "BenchClock.h"
#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "ScriptedPeer.h"

#include <benchmark/benchmark.h>

namespace {

// Every page's request table in turn, each request waiting for its answer from a scripted switcher
// on a socket pair.
void BM_FullSync(benchmark::State& state) {
    ScriptedPeer peer;
    ScriptedPeer::Device device;
    for (int id = 0; id < 1001; ++id)
        device.memory[id] = id % 100;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
    CKdPrmManager session;
    session.SetDeviceStream(peer.SessionStream());
    peer.TakePackets(); // the version request

    double sessionCpu = 0;
    double wall = 0;
    bool complete = true;
    size_t requests = 0;
    for (auto _ : state) {
        const double cpuStart = ThreadCpuSeconds();
        const double wallStart = WallSeconds();
        for (const auto& page : CKdPageCatalogue::Pages())
            complete &= session.RequestParameters(page.mRequests, CKdPrmManager::kRequestWaitMs);
        sessionCpu += ThreadCpuSeconds() - cpuStart;
        wall += WallSeconds() - wallStart;
        requests = peer.TakePackets().size(); // taken each time, so the record does not grow
    }
    if (!complete) state.SkipWithError("a request was not answered");
    session.SetDeviceStream(nullptr);

    const double iterations = static_cast<double>(state.iterations());
    state.counters["session_cpu_us"] = sessionCpu / iterations * 1e6;
    state.counters["waiting_us"] = (wall - sessionCpu) / iterations * 1e6;
    state.counters["session_share"] = wall > 0 ? sessionCpu / wall : 0;
    state.counters["requests"] = requests;
}

BENCHMARK(BM_FullSync)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
