// kaldo-sim's own rules, driven over its pseudo-terminal with raw frames. Its record, version
// answer, value round trips, --state, --no-answer and --refuse-status are checked through
// kaldo-ctl in ctl_test.
#include "SimLink.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes Le16(int value) {
    return {uint8_t(value), uint8_t(value >> 8)};
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A simulator started for one test, with the link to its first attachment.
struct RunningSim {
    explicit RunningSim(std::vector<std::string> arguments = {})
        : process(std::move(arguments)), link(process.Tty()) {}
    SimProcess process;
    SimLink link;
};
} // namespace

TEST(KaldoSim, StoresRunsAndSendsTheTopValueAs255) {
    RunningSim sim;
    // Region-of-interest data: size 1920, H -960, V 540, source 2 in one run.
    const Bytes roi = {0x80, 0x07, 0x40, 0xFC, 0x1C, 0x02, 2};
    EXPECT_EQ(sim.link.Write(190, roi), 0);
    EXPECT_EQ(sim.link.Read(190, 7), roi);

    // The top value of the "Off" parameters reads as 255, whether 255 or the value was written.
    EXPECT_EQ(sim.link.Write(220, {4}), 0);
    EXPECT_EQ(sim.link.Read(220, 1), Bytes{255});
    EXPECT_EQ(sim.link.Write(218, {255}), 0);
    EXPECT_EQ(sim.link.Read(218, 1), Bytes{255});
    EXPECT_EQ(sim.link.Write(218, {1}), 0);
    EXPECT_EQ(sim.link.Read(218, 1), Bytes{1});
    EXPECT_EQ(sim.link.Write(239, {255, 255}), 0); // PinP Type and Split Type in one run
    EXPECT_EQ(sim.link.Read(239, 2), (Bytes{255, 255}));
}

TEST(KaldoSim, RefusesWithoutStoringAnything) {
    RunningSim sim;
    EXPECT_GT(sim.link.Write(105, {1}), 0);       // read-only
    EXPECT_GT(sim.link.Write(990, {9, 9}), 0);    // versions are read-only
    EXPECT_GT(sim.link.Write(102, {2}), 0);       // above 0..1
    EXPECT_GT(sim.link.Write(180, Le16(100)), 0); // below 768..3840
    EXPECT_GT(sim.link.Write(180, {0x00}), 0);    // half a 16-bit value
    EXPECT_GT(sim.link.Write(181, {0x00}), 0);    // second byte of a 16-bit value
    EXPECT_GT(sim.link.Write(106, {0}), 0);       // undefined identifier
    EXPECT_GT(sim.link.Write(620, {10}), 0);      // not a text character
    EXPECT_GT(sim.link.Write(230, {50, 200}), 0); // 231 = -56 is outside -50..50
    EXPECT_EQ(sim.link.Read(102, 1), Bytes{0});
    EXPECT_EQ(sim.link.Read(180, 2), Le16(3840));
    EXPECT_EQ(sim.link.Read(230, 2), (Bytes{20, 30}));
    EXPECT_EQ(sim.link.Read(990, 2), Le16(0x0501));

    EXPECT_GT(sim.link.Status(0x10, {0xFF, 0x03, 2}), 0); // beyond the memory
    EXPECT_GT(sim.link.Status(0x10, {102, 0}), 0);        // too short
    EXPECT_GT(sim.link.Status(0x77), 0);                  // unknown, answered as 0xF7
    // An answer code is not a request: no reply, and the link goes on.
    EXPECT_FALSE(sim.link.Transact(0x90, {0}, 200));
    EXPECT_EQ(sim.link.Read(102, 1), Bytes{0});
}

TEST(KaldoSim, ExecuteIdentifiersAct) {
    RunningSim sim;
    const Bytes preset3 = {0x80, 0x07, 0xC0, 0x03, 0x1C, 0x02, 0};
    const Bytes fullPicture = {0x00, 0x0F, 0, 0, 0, 0, 0};

    // The executor's "call": preset, target, cut = 0, auto = 1 from 171.
    EXPECT_EQ(sim.link.Write(171, {2, 1, 0, 1}), 0);
    EXPECT_EQ(sim.link.Read(190, 7), preset3);
    EXPECT_EQ(sim.link.Read(173, 2), (Bytes{0, 0})); // execute identifiers are not stored
    EXPECT_EQ(sim.link.Write(171, {2, 0, 0, 0}), 0); // both execute values 0: nothing happens
    EXPECT_EQ(sim.link.Read(180, 7), fullPicture);

    // Save layer 1 into preset 7.
    EXPECT_EQ(sim.link.Write(182, Le16(16)), 0);
    EXPECT_EQ(sim.link.Write(176, {0, 6, 1}), 0);
    EXPECT_EQ(sim.link.Read(380, 7), (Bytes{0x00, 0x0F, 16, 0, 0, 0, 0}));

    // Still capture into memory 3, then erase it.
    EXPECT_EQ(sim.link.Write(131, {2}), 0);
    EXPECT_EQ(sim.link.Write(132, {1}), 0);
    EXPECT_EQ(sim.link.Read(134, 5), (Bytes{2, 0, 0, 1, 0}));
    Sleep(500);
    EXPECT_EQ(sim.link.Read(134, 1), Bytes{0});
    EXPECT_EQ(sim.link.Write(133, {1}), 0);
    EXPECT_EQ(sim.link.Read(137, 1), Bytes{0});

    EXPECT_EQ(sim.link.Write(207, {1}), 0);
    EXPECT_EQ(sim.link.Read(200, 2), Le16(4095));
    EXPECT_EQ(sim.link.Write(206, {1}), 0);
    EXPECT_EQ(sim.link.Read(200, 2), Le16(0));

    EXPECT_EQ(sim.link.Write(121, {1}), 0);
    EXPECT_EQ(sim.link.Write(999, {1}), 0);
    EXPECT_EQ(sim.link.Read(121, 1), Bytes{16});
    EXPECT_EQ(sim.link.Read(380, 7), (Bytes{0x80, 0x07, 0xC0, 0x03, 0x1C, 0x02, 1}));
}

TEST(KaldoSim, MovesLayersAtTenHertzWithinTheirRanges) {
    RunningSim sim;
    EXPECT_EQ(sim.link.Write(188, {16}), 0); // pan right
    Sleep(350);
    EXPECT_EQ(sim.link.Write(188, {0}), 0);
    const Bytes stopped = sim.link.Read(182, 2);
    ASSERT_EQ(stopped.size(), 2u);
    const int position = stopped[0] | stopped[1] << 8;
    EXPECT_GE(position, 32);
    EXPECT_LE(position, 80);
    EXPECT_EQ(position % 16, 0);
    Sleep(250);
    EXPECT_EQ(sim.link.Read(182, 2), stopped);

    EXPECT_EQ(sim.link.Write(194, Le16(1000)), 0);
    EXPECT_EQ(sim.link.Write(199, {127}), 0); // layer 2 tilt down, fast
    Sleep(350);
    EXPECT_EQ(sim.link.Read(194, 2), Le16(1080));
}

TEST(KaldoSim, RebootLeavesAndReturnsAsANewAttachment) {
    RunningSim sim({"--reboot-ms", "200"});
    EXPECT_EQ(sim.link.Write(122, {77}), 0);
    EXPECT_EQ(sim.link.Write(1000, {1}), 0);
    EXPECT_EQ(sim.link.Write(121, {99}), 0); // not saved

    EXPECT_EQ(sim.link.Status(0x40), 0);
    EXPECT_TRUE(sim.link.HungUp(1000));
    EXPECT_EQ(sim.process.RecordCount(), 0);
    const std::string tty = sim.process.NextTty();
    ASSERT_FALSE(tty.empty());
    EXPECT_EQ(sim.process.RecordCount(), 1);

    // Saved settings come back, unsaved ones do not.
    SimLink link(tty);
    EXPECT_EQ(link.Read(121, 2), (Bytes{16, 77}));

    // "System Reboot" as an execute identifier does the same.
    EXPECT_EQ(link.Write(998, {1}), 0);
    EXPECT_TRUE(link.HungUp(1000));
    EXPECT_FALSE(sim.process.NextTty().empty());
    EXPECT_EQ(sim.process.Terminate(), 0); // and its record goes with it
    EXPECT_EQ(sim.process.RecordCount(), 0);
}

TEST(KaldoSim, FaultsDelayLoseGarbleAndDisconnect) {
    {
        RunningSim sim({"--latency-ms", "150"});
        const auto start = Clock::now();
        EXPECT_TRUE(sim.link.Transact(0x15));
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
    }
    {
        RunningSim sim({"--drop-every", "2"});
        EXPECT_TRUE(sim.link.Transact(0x15));
        EXPECT_FALSE(sim.link.Transact(0x15, {}, 300));
        EXPECT_TRUE(sim.link.Transact(0x15));
    }
    {
        RunningSim sim({"--garbage"});
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(sim.link.Read(121, 3), (Bytes{16, 16, 16}));
        EXPECT_GT(sim.link.SkippedBytes(), 0u);
    }
    RunningSim sim({"--disconnect-after-ms", "200"});
    EXPECT_TRUE(sim.link.Transact(0x15));
    EXPECT_EQ(sim.process.WaitExit(2000), 0);
    EXPECT_EQ(sim.process.RecordCount(), 0);
    EXPECT_TRUE(sim.link.HungUp(500));
}

TEST(KaldoSim, FirmwareUpdateChecksTheSum) {
    RunningSim sim({"--erase-delay-ms", "0"});
    EXPECT_GT(sim.link.Status(0x33, {0}), 0); // no update begun
    EXPECT_EQ(sim.link.Status(0x31), 0);
    EXPECT_EQ(sim.link.Status(0x32, {1, 2, 3}), 0);
    EXPECT_EQ(sim.link.Status(0x32, {0xFF}), 0);
    EXPECT_EQ(sim.link.Status(0x33, {0x05}), 0); // (1 + 2 + 3 + 255) & 0xFF
    EXPECT_EQ(sim.link.Status(0x31), 0);
    EXPECT_EQ(sim.link.Status(0x32, {1}), 0);
    EXPECT_GT(sim.link.Status(0x33, {0x02}), 0);
}

// A mistake on the command line or a state file that is no file ends the simulator before it
// attaches, with one short line that names the option or the file.
TEST(KaldoSim, RefusesOptionsOutOfRangeAndAStateThatIsNoFile) {
    char dir[] = "/tmp/kaldo-e2e-sim-options-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--serial", ""}, 2},
        {{"--bootloader-version", "0x1000000"}, 2},
        {{"--bootloader-bad-row", "-1"}, 2},
        {{"--refuse-only", "0x20"}, 2},
        {{"--latency-ms", "1e400"}, 2},
        {{"--reboot-ms", "-1"}, 2},
        {{"--state", dir}, 1},
    };
    for (const auto& [arguments, code] : cases) {
        int err[2];
        ASSERT_EQ(pipe(err), 0);
        const pid_t pid = SimProcess::Spawn(KALDO_SIM_EXE, arguments, std::string(dir) + "/devices",
                                            err[1], err[1]);
        close(err[1]);
        // One that starts after all is ended after a while.
        int status = -1;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; waited += 10) {
            if (waited == 10000) kill(pid, SIGKILL);
            Sleep(10);
        }
        std::string message;
        char buffer[512];
        for (ssize_t count; (count = read(err[0], buffer, sizeof buffer)) > 0;)
            message.append(buffer, size_t(count));
        close(err[0]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code)
            << arguments[0] << ": " << status << " " << message;
        EXPECT_EQ(message.rfind("kaldo-sim: ", 0), 0u) << message;
        EXPECT_NE(message.find(arguments[0] == "--state" ? dir : arguments[0].c_str()),
                  std::string::npos)
            << message;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
        EXPECT_LT(message.size(), 200u) << message;
    }
    std::filesystem::remove_all(dir);
}
