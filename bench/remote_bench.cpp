#include "CKdPrmManager.h"
#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "ScriptedPeer.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// One companion datagram per iteration: interpreted, executed and its packet written to a
// scripted switcher on a socket pair. The dial event also waits for its read-back's answer and
// builds its reply line (not sent).
const char* const kEvents[] = {
    "KeyDown:sw:MIX",
    "KeyDown:call:ROI3:[2]",
    "KeyDown:pinp:1:50:0:0:100:100:5:255:255:255",
    "Rotate:enc:0:175:0:1",
};

constexpr size_t kBatch = 64;

void BM_Datagram(benchmark::State& state) {
    const char* event = kEvents[state.range(0)];
    state.SetLabel(event);
    ScriptedPeer peer;
    ScriptedPeer::Device device;
    peer.SetScript([&](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
    CKdPrmManager session;
    session.SetDeviceStream(peer.SessionStream());
    peer.TakePackets(); // the version request

    size_t replies = 0;
    CKdRemoteExecutor executor([&](const char*) { ++replies; });
    CKdRemoteInterpreter interpreter([&](int32_t eventNum, int64_t dataNum) {
        executor.ReceiveData(&session, eventNum, dataNum);
    });
    const size_t length = std::strlen(event);
    // One packet per event, two with a read-back; every one must arrive whole.
    const size_t perEvent = state.range(0) == 3 ? 2 : 1;
    bool complete = true;
    size_t sinceTaken = 0;
    for (auto _ : state) {
        interpreter.Receive(event, length);
        // Now and then the peer catches up (untimed), so the socket never fills and the peer's
        // record does not grow.
        if (++sinceTaken == kBatch) {
            state.PauseTiming();
            complete &= peer.WaitForPackets(kBatch * perEvent).size() == kBatch * perEvent;
            peer.TakePackets();
            sinceTaken = 0;
            state.ResumeTiming();
        }
    }
    complete &= peer.WaitForPackets(sinceTaken * perEvent).size() == sinceTaken * perEvent;
    if (!complete) state.SkipWithError("packets were lost");
    session.SetDeviceStream(nullptr);
    state.counters["replies"] = static_cast<double>(replies);
}
BENCHMARK(BM_Datagram)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The same packet written straight through the session: the floor for the events above.
void BM_PacketOnly(benchmark::State& state) {
    ScriptedPeer peer;
    CKdPrmManager session;
    session.SetDeviceStream(peer.SessionStream());
    peer.TakePackets();
    const uint8_t value = 1;
    size_t sinceTaken = 0;
    for (auto _ : state) {
        session.SendRoiPackets(210, &value, 1);
        if (++sinceTaken == kBatch) {
            state.PauseTiming();
            peer.WaitForPackets(kBatch);
            peer.TakePackets();
            sinceTaken = 0;
            state.ResumeTiming();
        }
    }
    session.SetDeviceStream(nullptr);
}
BENCHMARK(BM_PacketOnly)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
