// kaldo-ctl reports only what happened: a write is done when its own answer says so, a lost one
// is not a refusal, output that cannot be written is a failure, and questions come before a
// switcher is rebooted. Grouped by cause.
#include "Ctl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

using testing::HasSubstr;
using testing::Not;

namespace {
using Strings = std::vector<std::string>;

// kaldo-ctl with its standard output on out (the memory file's contents are not collected).
CtlResult RunWithOutput(const Sim& sim, int out, Strings arguments) {
    const int err = memfd_create("err", MFD_CLOEXEC);
    const pid_t pid =
        SimProcess::Spawn(KALDO_CTL_EXE, std::move(arguments), sim.DeviceDir(), out, err);
    int status = -1;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", Collect(err)};
}

// What a running kaldo-ctl has written to its standard output so far.
std::string OutputSoFar(const CtlRun& run) {
    struct stat info {};
    fstat(run.out, &info);
    std::string written(info.st_size, '\0');
    pread(run.out, written.data(), written.size(), 0);
    return written;
}

bool WaitForOutput(const CtlRun& run, const std::string& text) {
    for (int waited = 0; waited < 10000; waited += 10) {
        if (OutputSoFar(run).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}
} // namespace

// Every second request is lost unread: a save, an execute and a set are sent again until their
// own answers come, and then they have really been done.
TEST(KaldoCtlResults, LostWritesAreSentAgainAndDoneOnlyWhenAnswered) {
    const std::string state =
        testing::TempDir() + "kaldo-ctl-results-" + std::to_string(getpid()) + ".json";
    std::remove(state.c_str());
    Sim sim({"--drop-every", "2", "--state", state});
    CtlResult save = sim.Ctl({"save", "--timeout", "300"});
    EXPECT_EQ(save.code, kOK) << save.err;
    EXPECT_THAT(save.out, HasSubstr("settings saved on the switcher"));
    EXPECT_TRUE(Exists(state)) << "Parameter Save never reached the switcher";
    std::remove(state.c_str());

    CtlResult exec = sim.Ctl({"--trace", "exec", "Sub In Sw", "--timeout", "300"});
    EXPECT_EQ(exec.code, kOK) << exec.err;
    EXPECT_THAT(exec.err, HasSubstr("sending it again"));
    EXPECT_EQ(sim.Get("Transition Value", true), "4095");

    // A lost write is not a refusal.
    for (const Strings& set : {Strings{"set", "Cut Type", "Off"}, Strings{"set", "211", "1.2"}}) {
        Strings arguments = set;
        arguments.insert(arguments.end(), {"--timeout", "300"});
        CtlResult result = sim.Ctl(arguments);
        EXPECT_EQ(result.code, kOK) << result.out << result.err;
        EXPECT_THAT(result.out, Not(HasSubstr("kept")));
    }
    EXPECT_EQ(sim.Get("218"), "Off");
    EXPECT_EQ(sim.Get("211"), "1.2 sec");

    // A backup of an untouched unit of the same serial number and firmware, restored for one
    // page: two writes in a row, so each second one is lost, and so is each second copy.
    const std::string file = sim.File("backup.json");
    ASSERT_EQ(Sim().Ctl({"backup", file}).code, kOK);
    ASSERT_EQ(sim.Ctl({"set", "M/E Type", "Mix", "--timeout", "300"}).code, kOK);
    CtlResult restore = sim.Ctl(
        {"restore", file, "--only", "Mix/Effect/General", "--timeout", "300", "--retries", "3"});
    EXPECT_EQ(restore.code, kOK) << restore.out << restore.err;
    EXPECT_THAT(restore.out, HasSubstr("211 Auto Transition Time: 1.2 sec -> 1.0 sec"));
    EXPECT_THAT(restore.out, HasSubstr("210 M/E Type: Mix -> Cut"));
    EXPECT_THAT(restore.out, Not(HasSubstr("kept")));
    EXPECT_EQ(sim.Get("210"), "Cut");
}

// The switcher acts on writes but never answers them: nothing is reported as done, whatever a
// later read shows, and a command that toggles is not sent twice.
TEST(KaldoCtlResults, UnansweredWritesAreSentButNotConfirmed) {
    Sim sim({"--no-answer", "0x20"});
    struct Case {
        Strings arguments;
        const char* printed;
    };
    const Case cases[] = {
        {{"exec", "Sub In Sw"}, "Sub In Sw sent, not confirmed"},
        {{"save"}, "Parameter Save sent, not confirmed"},
        {{"set", "Cut Type", "Off"}, "1 of 1 writes sent, not confirmed"},
        {{"set-text", "760", "64", "abc"}, "1 of 1 writes sent, not confirmed"},
    };
    for (const Case& each : cases) {
        Strings arguments = each.arguments;
        arguments.insert(arguments.end(), {"--timeout", "200"});
        CtlResult result = sim.Ctl(arguments);
        EXPECT_EQ(result.code, kNoAnswer) << each.arguments[0] << ": " << result.err;
        EXPECT_THAT(result.err, HasSubstr(each.printed));
        EXPECT_THAT(result.out, Not(HasSubstr("done")));
        EXPECT_THAT(result.out, Not(HasSubstr("saved")));
    }
    CtlResult set = sim.Ctl({"--json", "set", "211", "1.2", "--timeout", "200", "--retries", "2"});
    EXPECT_EQ(set.code, kNoAnswer);
    const nlohmann::json unconfirmed = nlohmann::json::parse(set.out);
    EXPECT_EQ(unconfirmed["code"], kNoAnswer);
    EXPECT_EQ(unconfirmed["partial"]["changes"][0]["status"], "not confirmed");
    EXPECT_EQ(unconfirmed["partial"]["not_confirmed"], 1);
    EXPECT_EQ(unconfirmed["partial"]["refused"], 0);
    EXPECT_THAT(set.err, HasSubstr("sending it again")); // the retries: twice

    CtlResult toggle = sim.Ctl({"--trace", "exec", "MODE Sw", "--timeout", "200"});
    EXPECT_EQ(toggle.code, kNoAnswer);
    EXPECT_EQ(toggle.err.find("set 208"), toggle.err.rfind("set 208")) << toggle.err;
}

// A status from the switcher is a refusal (5), told apart from no answer (4) in the lines, the
// summary and JSON.
TEST(KaldoCtlResults, RefusedWritesAreToldApartFromUnanswered) {
    Sim sim({"--refuse-status", "3", "--refuse-only", "0x20"});
    CtlResult set = sim.Ctl({"set", "Cut Type", "Off"});
    EXPECT_EQ(set.code, kRefused);
    EXPECT_THAT(set.out, HasSubstr("218 Cut Type: refused (status 3), kept Normal instead of Off"));
    CtlResult json = sim.Ctl({"--json", "set", "Cut Type", "Off"});
    const nlohmann::json refused = nlohmann::json::parse(json.out);
    EXPECT_EQ(refused["code"], kRefused);
    EXPECT_EQ(refused["partial"]["changes"][0]["status"], "refused");
    EXPECT_EQ(refused["partial"]["refused"], 1);
    EXPECT_EQ(refused["partial"]["not_confirmed"], 0);
    CtlResult exec = sim.Ctl({"exec", "Still Capture"});
    EXPECT_EQ(exec.code, kRefused);
    EXPECT_THAT(exec.err, HasSubstr("the switcher refused Still Capture (status 3)"));
}

// Results that cannot be written are a failure with its cause, not an empty success.
TEST(KaldoCtlResults, OutputThatCannotBeWrittenIsAFailure) {
    Sim sim;
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    for (const Strings& arguments :
         {Strings{"dump"}, Strings{"--json", "get", "218"}, Strings{"--json", "list"},
          Strings{"get", "218"}, Strings{"--help"}}) {
        CtlResult result = RunWithOutput(sim, full, arguments);
        EXPECT_EQ(result.code, 1) << arguments.back();
        EXPECT_THAT(result.err, HasSubstr("cannot write to standard output: No space left"));
    }
    close(full);
}

// --json: one document, also for a mistake on the command line and for a backup on stdout.
TEST(KaldoCtlResults, JsonIsAlwaysOneDocument) {
    Sim sim;
    const Strings mistakes[] = {
        {"--json", "get"},
        {"--json", "frobnicate"},
        {"--json", "--retries", "11", "info"},
        {"--json", "get", "218", "--bogus"},
        {"--json", "--terse", "info"},
        {"--json"},
        {"watch", "--json"},
    };
    for (const Strings& arguments : mistakes) {
        CtlResult result = sim.Ctl(arguments);
        EXPECT_EQ(result.code, kUsage) << arguments.back();
        nlohmann::json error;
        ASSERT_NO_THROW(error = nlohmann::json::parse(result.out)) << result.out;
        EXPECT_EQ(error["code"], kUsage);
        EXPECT_FALSE(error["error"].get<std::string>().empty());
    }
    CtlResult backup = sim.Ctl({"--json", "backup", "-"});
    EXPECT_EQ(backup.code, kOK);
    nlohmann::json document;
    ASSERT_NO_THROW(document = nlohmann::json::parse(backup.out)) << backup.out;
    EXPECT_EQ(document["format"], "kaldo-1 settings");
}

// A reboot loses unsaved settings: asked as a factory reset is.
TEST(KaldoCtlResults, RebootIsConfirmedFirst) {
    Sim sim;
    for (const Strings& arguments : {Strings{"reboot"}, Strings{"exec", "System Reboot"}}) {
        CtlResult declined = sim.Ctl(arguments);
        EXPECT_EQ(declined.code, 6) << declined.err;
        EXPECT_THAT(declined.err, HasSubstr("add --yes"));
    }
    // On a terminal the question is asked; "n" sends nothing.
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const int saved = dup(STDIN_FILENO);
    dup2(slave, STDIN_FILENO);
    const int err = memfd_create("err", MFD_CLOEXEC);
    const pid_t pid =
        SimProcess::Spawn(KALDO_CTL_EXE, {"--trace", "reboot"}, sim.DeviceDir(), -1, err);
    dup2(saved, STDIN_FILENO);
    close(saved);
    close(slave);
    std::string asked;
    for (int waited = 0; waited < 10000 && asked.find("[y/N]") == std::string::npos; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        asked.assign(lseek(err, 0, SEEK_END), '\0');
        pread(err, asked.data(), asked.size(), 0);
    }
    EXPECT_THAT(
        asked,
        HasSubstr("reboot the switcher? Changes not stored with Parameter Save are lost. [y/N]"));
    ASSERT_EQ(write(master, "n\n", 2), 2);
    int status = -1;
    waitpid(pid, &status, 0);
    close(master);
    EXPECT_EQ(WEXITSTATUS(status), 6);
    EXPECT_THAT(Collect(err), Not(HasSubstr("-> #")));
    EXPECT_EQ(sim.RecordCount(), 1);
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);
}

// While another program holds the switcher, watch waits for it instead of ending; the busy
// message names that program alone, not the simulator on the other side of the terminal.
TEST(KaldoCtlResults, WatchWaitsForABusySwitcherAndTheHolderIsNamed) {
    Sim sim;
    const int held = open(sim.Tty().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    CtlResult busy = sim.Ctl({"info"});
    EXPECT_EQ(busy.code, 8);
    EXPECT_THAT(busy.err, HasSubstr("in use by e2e_tests (pid " + std::to_string(getpid()) + ");"));
    EXPECT_THAT(busy.err, Not(HasSubstr("kaldo-sim")));
    EXPECT_THAT(busy.err, HasSubstr("to free it"));

    CtlRun watch(sim.DeviceDir(), {"watch", "Cut Type", "--interval", "100", "--count", "1"});
    EXPECT_TRUE(watch.WaitForError("waiting for it to be free"));
    close(held);
    ASSERT_TRUE(WaitForOutput(watch, "218 Cut Type: Normal"));
    ASSERT_EQ(sim.Ctl({"set", "Cut Type", "Off", "--wait-busy", "5"}).code, kOK);
    const CtlResult watched = watch.Finish(10000);
    EXPECT_EQ(watched.code, kOK) << watched.err;
    EXPECT_THAT(watched.out, HasSubstr("218 Cut Type: Off"));
}

// get-text shows bytes that set-text would refuse escaped, never raw.
TEST(KaldoCtlResults, GetTextEscapesWhatIsNotText) {
    Sim sim;
    ASSERT_EQ(sim.Ctl({"set", "IP Address", "10.1.92.65"}).code, kOK);
    CtlResult text = sim.Ctl({"get-text", "900", "4"});
    EXPECT_EQ(text.code, kOK);
    EXPECT_EQ(text.out, "\\x0a\\x01\\\\A\n");
    CtlResult json = sim.Ctl({"--json", "get-text", "900", "4"});
    EXPECT_EQ(nlohmann::json::parse(json.out)[0]["text"], "\\x0a\\x01\\\\A");
}

// An empty choice is refused rather than taken for "any" or "all".
TEST(KaldoCtlResults, EmptyChoicesAreRefused) {
    Sim sim;
    const Strings cases[] = {
        {"--device", "", "info"},
        {"--serial", "", "info"},
        {"dump", "--page", ""},
        {"watch", "218", "--page", ""},
        {"restore", "-", "--only", ""},
        {"get", "218", ""},
        {"exec", ""},
        {"backup", ""},
    };
    for (const Strings& arguments : cases) {
        CtlResult result = sim.Ctl(arguments);
        EXPECT_EQ(result.code, kUsage) << arguments[0] << arguments[1];
        EXPECT_THAT(result.err, HasSubstr("must not be empty"));
        EXPECT_EQ(result.out, "");
    }
}
