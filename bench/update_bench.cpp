#include "CKdUpdaterFPGA.h"
#include "LSerialPort.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr size_t kImageSize = 1 << 20; // 1 MiB
constexpr int kBlockSize = 59;

double ThreadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

double WallSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// kaldo-sim without added latency or erase delay, in a record directory of its own; its
// terminal is read from its --print-tty line.
class Simulator {
public:
    Simulator() {
        char pattern[] = "/tmp/kaldo-bench-XXXXXX";
        mDir = mkdtemp(pattern);
        setenv("KALDO_DEVICE_DIR", mDir.c_str(), 1);
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> arguments = {KALDO_SIM_EXE, "--print-tty", "--erase-delay-ms",
                                              "0"};
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn(&mPid, KALDO_SIM_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        mOutput = fdopen(out[0], "r");
        char line[256] = {};
        if (mOutput && std::fgets(line, sizeof line, mOutput))
            mTty = std::string(line, strcspn(line, "\n"));
    }
    ~Simulator() {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
        if (mOutput) std::fclose(mOutput);
        std::string command = "rm -rf " + mDir;
        std::system(command.c_str());
    }
    const std::string& Tty() const { return mTty; }
    const std::string& Dir() const { return mDir; }

private:
    pid_t mPid = -1;
    FILE* mOutput = nullptr;
    std::string mDir;
    std::string mTty;
};

// A 1 MiB main firmware update against kaldo-sim over its pseudo-terminal at the link's speed:
// bytes per second, and the updater's own CPU time per block (the simulator's is not counted).
void BM_MainFirmwareUpdate(benchmark::State& state) {
    Simulator sim;
    const std::string image = sim.Dir() + "/main.bin";
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
