#include "BenchClock.h"
#include "CKdUpdaterFPGA.h"
#include "LSerialPort.h"
#include "SimProcess.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

constexpr size_t kImageSize = 1 << 20; // 1 MiB
constexpr int kBlockSize = 59;

// A 1 MiB main firmware update against kaldo-sim over its pseudo-terminal at the link's speed:
// bytes per second, and the updater's own CPU time per block (the simulator's is not counted).
void BM_MainFirmwareUpdate(benchmark::State& state) {
    // kaldo-sim without added latency or erase delay, in a record directory of its own.
    SimProcess sim({"--erase-delay-ms", "0"});
    const std::string image = sim.DeviceDir() + "/main.bin";
    {
        std::ofstream file(image, std::ios::binary);
        for (size_t i = 0; i < kImageSize; ++i)
            file.put(static_cast<char>(i * 131 + (i >> 9)));
    }
    LObjPtr_<LSerialPort> port = new LSerialPort(sim.Tty().c_str());
    port->ReleaseObject();
    port->SetSpeed(115200);
    if (sim.Tty().empty() || !port->Open()) {
        state.SkipWithError("kaldo-sim did not attach");
        return;
    }
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        LObjPtr_<CKdUpdaterFPGA> updater = new CKdUpdaterFPGA(image.c_str());
        updater->ReleaseObject();
        updater->SetDeviceStream(port);
        const double cpuStart = ThreadCpuSeconds();
        const double wallStart = WallSeconds();
        const int result = updater->ExecUpdate();
        cpu += ThreadCpuSeconds() - cpuStart;
        wall += WallSeconds() - wallStart;
        updater->SetDeviceStream(nullptr);
        if (result != CKdUpdater::kResultOK) {
            state.SkipWithError("the update failed");
            return;
        }
    }
    const double iterations = static_cast<double>(state.iterations());
    const double blocks = (kImageSize + kBlockSize - 1) / kBlockSize + 2; // erase and finish too
    state.SetBytesProcessed(static_cast<int64_t>(kImageSize * iterations));
    state.counters["bytes_per_s"] = kImageSize * iterations / wall;
    state.counters["cpu_us_per_block"] = cpu / iterations / blocks * 1e6;
    state.counters["cpu_share"] = wall > 0 ? cpu / wall : 0;
}

BENCHMARK(BM_MainFirmwareUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
