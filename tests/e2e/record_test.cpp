// Virtual device records as kaldo-sim publishes them and kaldo-ctl reads them: a record counts
// only while its simulator lives, and nothing in the record directory can hold a reader up.
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// A kaldo-sim process in a record directory that the test chooses; killed with the object.
struct Simulator {
    explicit Simulator(const std::string& dir) {
        int output[2];
        if (pipe2(output, O_CLOEXEC) != 0) return;
        pid = SimProcess::Spawn(KALDO_SIM_EXE, {"--print-tty"}, dir, output[1]);
        close(output[1]);
        pollfd line{output[0], POLLIN, 0};
        for (char c; poll(&line, 1, 3000) > 0 && read(output[0], &c, 1) == 1 && c != '\n';)
            tty += c;
        close(output[0]);
    }
    ~Simulator() { Kill(SIGTERM); }
    void Kill(int signal) {
        if (pid <= 0) return;
        kill(pid, signal);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    pid_t pid = -1;
    std::string tty;
};

struct CtlRun {
    int code = -1; // -1: still running after its time, and killed
    std::string err;
};

// kaldo-ctl with the record directory dir, given limitMs to end.
CtlRun Ctl(const std::string& dir, std::vector<std::string> arguments, int limitMs = 5000) {
    const int err = memfd_create("err", MFD_CLOEXEC);
    const pid_t pid = SimProcess::Spawn(KALDO_CTL_EXE, std::move(arguments), dir, -1, err);
    CtlRun run;
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; waited += 10) {
        if (waited >= limitMs) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            close(err);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err.resize(size_t(std::max<off_t>(0, lseek(err, 0, SEEK_END))));
    pread(err, run.err.data(), run.err.size(), 0);
    close(err);
    return run;
}

struct RecordDir : testing::Test {
    RecordDir() {
        char pattern[] = "/tmp/kaldo-e2e-records-XXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
    }
    ~RecordDir() override { std::filesystem::remove_all(dir); }
    size_t Records() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            count += entry.path().extension() == ".dev";
        return count;
    }
    std::string dir;
};

TEST_F(RecordDir, AKilledSimulatorLeavesNoSwitcherBehind) {
    Simulator killed(dir);
    Simulator alive(dir);
    ASSERT_FALSE(killed.tty.empty());
    ASSERT_FALSE(alive.tty.empty());
    ASSERT_EQ(Records(), 2u);
    killed.Kill(SIGKILL);

    const CtlRun info = Ctl(dir, {"info"}); // the one switcher left, chosen without --serial
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_EQ(Records(), 1u) << "the stale record is deleted";
}

TEST_F(RecordDir, AFifoAmongTheRecordsHoldsNothingUp) {
    Simulator sim(dir);
    ASSERT_FALSE(sim.tty.empty());
    ASSERT_EQ(mkfifo((dir + "/stuck.dev").c_str(), 0600), 0);
    EXPECT_EQ(Ctl(dir, {"list"}).code, 0);
    EXPECT_EQ(Ctl(dir, {"--device", sim.tty, "info"}).code, 0);
}

} // namespace
