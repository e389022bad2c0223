// Virtual device records as kaldo-sim publishes them and kaldo-ctl reads them: a record counts
// only while its simulator lives, and nothing in the record directory can hold a reader up.
#include "Ctl.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>

namespace {
struct RecordDir : testing::Test {
    RecordDir() {
        char pattern[] = "/tmp/kaldo-e2e-records-XXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
    }
    ~RecordDir() override { std::filesystem::remove_all(dir); }
    // kaldo-ctl in the directory, killed (code -1) when it takes more than five seconds.
    CtlResult Ctl(std::vector<std::string> arguments) const {
        return CtlRun(dir, std::move(arguments)).Finish(5000);
    }
    std::string dir;
};

TEST_F(RecordDir, AKilledSimulatorLeavesNoSwitcherBehind) {
    SimProcess killed({}, dir), alive({}, dir);
    ASSERT_FALSE(killed.Tty().empty() || alive.Tty().empty());
    ASSERT_EQ(alive.RecordCount(), 2);
    killed.Terminate(SIGKILL);

    const CtlResult info = Ctl({"info"}); // the one switcher left, chosen without --serial
    EXPECT_EQ(info.code, kOK) << info.err;
    EXPECT_EQ(alive.RecordCount(), 1) << "the stale record is deleted";
}

TEST_F(RecordDir, AFifoAmongTheRecordsHoldsNothingUp) {
    SimProcess sim({}, dir);
    ASSERT_FALSE(sim.Tty().empty());
    ASSERT_EQ(mkfifo((dir + "/stuck.dev").c_str(), 0600), 0);
    EXPECT_EQ(Ctl({"list"}).code, kOK);
    EXPECT_EQ(Ctl({"--device", sim.Tty(), "info"}).code, kOK);
}
} // namespace
