#include "CKdPrmCatalogue.h"
#include "CKdPrmManager.h"
#include "LPrmObserverBridge.h"
#include "ScriptedPeer.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kObservers = 500;

// A view that only counts what it is told, as a widget would redraw.
class CountingView : public LPrmObserverBridge::Delegate {
public:
    void valueUpdated(LPrmObserverBridge*) override { ++updates; }
    long updates = 0;
};

// 500 bridges spread over the catalogue's parameters, as open pages would hold them.
std::vector<LObjPtr_<LPrmObserverBridge>> MakeBridges(CKdPrmManager& session, CountingView& view) {
    std::vector<long> ids;
    for (const CKdPrmCatalogue::_SPrmRow& row : CKdPrmCatalogue::Rows())
        for (int k = 0; k < row.mCount; ++k)
            ids.push_back(row.mPrmID + k * CKdPrmCatalogue::Width(row.mType));
    std::vector<LObjPtr_<LPrmObserverBridge>> bridges;
    for (int i = 0; i < kObservers; ++i) {
        auto* bridge = new LPrmObserverBridge;
        bridge->Setup(&session, ids[i % ids.size()], &view);
        bridges.emplace_back(bridge);
        LObject::ReleaseObject(bridge);
    }
    return bridges;
}

// One value reported by the switcher, then the service pass that lets every observer check.
void RunPasses(benchmark::State& state, CKdPrmManager& session) {
    CountingView view;
    const auto bridges = MakeBridges(session, view);
    const long atSetup = view.updates;
    int value = 0;
    for (auto _ : state) {
        session.SetValueByHost(102, value ^= 1);
        session.Service();
    }
    state.counters["observers"] = kObservers;
    state.counters["updates_per_pass"] =
        static_cast<double>(view.updates - atSetup) / static_cast<double>(state.iterations());
}

void BM_ObserverPass(benchmark::State& state) {
    CKdPrmManager session;
    RunPasses(state, session);
}

// The same with an idle link attached, as in the running program.
void BM_ObserverPassIdleLink(benchmark::State& state) {
    ScriptedPeer peer;
    ScriptedPeer::Device device;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
    CKdPrmManager session;
    session.SetDeviceStream(peer.SessionStream());
    RunPasses(state, session);
    session.SetDeviceStream(nullptr);
}

BENCHMARK(BM_ObserverPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ObserverPassIdleLink)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
