// Files and records that kaldo-ctl and kaldo-sim write and read, against what another user or
// program may have put there: a planted temporary, files that are no records, records that lie,
// and restore files that leave out or repeat what they should hold once.
#include "Ctl.h"
#include "RecordPublisher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

using testing::HasSubstr;
using testing::Not;

namespace {
using Strings = std::vector<std::string>;
constexpr uid_t kNobody = 65534;

// A directory of its own for one test, removed with it.
struct ScratchDir {
    ScratchDir() {
        char pattern[] = "/tmp/kaldo-e2e-files-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
    long maxResidentKb = 0;
};

// Runs kaldo-ctl with KALDO_DEVICE_DIR=dir and input as its standard input (-1: /dev/null);
// the child runs prepare first (to become another user or take a controlling terminal).
Outcome RunCtlAs(const std::string& dir, Strings arguments,
                 const std::function<void()>& prepare = {}, int input = -1) {
    const int out = memfd_create("out", MFD_CLOEXEC), err = memfd_create("err", MFD_CLOEXEC);
    arguments.insert(arguments.begin(), KALDO_CTL_EXE);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(input >= 0 ? input : open("/dev/null", O_RDONLY), STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (prepare) prepare();
        setenv("KALDO_DEVICE_DIR", dir.c_str(), 1);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = -1;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Collect(out), Collect(err),
            usage.ru_maxrss};
}

// A record of a live switcher as kaldo-sim writes it.
std::string RecordText(const std::string& tty, const std::string& serial = "K1FILES001",
                       const std::string& product = "KALDO-1") {
    return "kind=serial\nvendor=0x1209\nproduct=0x4b31\nvendor_name=Kaldo Systems\n"
           "product_name=" +
           product + "\nserial=" + serial + "\nlocation=0x09100000\nsession=77\ntty=" + tty + "\n";
}

bool HasControlCharacters(const std::string& text) {
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
    return false;
}

struct stat Stat(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info;
}
} // namespace

// A backup (or the simulator's saved state, which holds the password too) is written into a
// new file of a fresh name beside its target: nothing that someone put at FILE.tmp is written
// through or taken over.
TEST(PlantedTemporary, ALinkBesideTheTargetIsNotWrittenThrough) {
    ScratchDir dir;
    const std::string victim = dir / "victim", backup = dir / "p.json", state = dir / "st.json";
    std::ofstream(victim) << "victim's own text\n";
    ASSERT_EQ(symlink(victim.c_str(), (backup + ".tmp").c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), (state + ".tmp").c_str()), 0);
    umask(022);

    Sim sim({"--state", state});
    CtlResult written = sim.Ctl({"backup", backup});
    EXPECT_EQ(written.code, kOK) << written.err;
    CtlResult saved = sim.Ctl({"save"});
    EXPECT_EQ(saved.code, kOK) << saved.err;

    EXPECT_EQ(ReadFile(victim), "victim's own text\n");
    for (const std::string& path : {backup, state}) {
        const struct stat info = Stat(path);
        EXPECT_TRUE(S_ISREG(info.st_mode)) << path;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path << " holds the password";
        EXPECT_TRUE(S_ISLNK(Stat(path + ".tmp").st_mode)) << "the planted link is left as it was";
    }
    EXPECT_THAT(ReadFile(backup), HasSubstr(R"("text":"password")"));
    // Nothing else is left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                            std::filesystem::directory_iterator()),
              5);
}

TEST(PlantedTemporary, AnotherUsersFileInASharedDirectoryDoesNotTakeTheBackup) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to plant a file as another user";
    ScratchDir dir;
    ASSERT_EQ(chmod(dir.path.c_str(), 01777), 0); // shared and sticky, as /tmp
    const std::string backup = dir / "site.json", planted = backup + ".tmp";
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(setgid(kNobody) == 0 && setuid(kNobody) == 0 &&
                      open(planted.c_str(), O_WRONLY | O_CREAT, 0666) >= 0
                  ? 0
                  : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_EQ(status, 0);

    Sim sim;
    CtlResult written = sim.Ctl({"backup", backup});
    EXPECT_EQ(written.code, kOK) << written.err;
    const struct stat info = Stat(backup);
    EXPECT_EQ(info.st_uid, 0u) << "the backup belongs to who made it";
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(Stat(planted).st_uid, kNobody);
    EXPECT_EQ(Stat(planted).st_size, 0);
}

// Readers delete only records whose publisher is gone; every other file is not theirs.
TEST(RecordReaders, FilesThatHoldNoRecordAreLeftAlone) {
    ScratchDir dir;
    SimProcess sim({}, dir.path);
    ASSERT_FALSE(sim.Tty().empty());
    std::ofstream(dir / "notes.dev") << "Call the studio at 10.\n";
    for (int i = 0; i < 300; ++i)
        std::ofstream(dir / ("file" + std::to_string(i) + ".dev")) << "kind=serial\n";
    std::ofstream(dir / "stale.dev") << RecordText("/dev/pts/1"); // nobody holds it
    std::ofstream(dir / "foreign.dev") << RecordText("/dev/pts/2");
    if (getuid() == 0) chown((dir / "foreign.dev").c_str(), kNobody, kNobody);

    const Outcome list = RunCtlAs(dir.path, {"list"});
    EXPECT_EQ(list.code, kOK) << list.err;
    EXPECT_EQ(ReadFile(dir / "notes.dev"), "Call the studio at 10.\n");
    int left = 0;
    for (int i = 0; i < 300; ++i)
        left += access((dir / ("file" + std::to_string(i) + ".dev")).c_str(), F_OK) == 0;
    EXPECT_EQ(left, 300);
    EXPECT_NE(access((dir / "stale.dev").c_str(), F_OK), 0) << "a stale record of ours goes";
    if (getuid() == 0) {
        EXPECT_EQ(access((dir / "foreign.dev").c_str(), F_OK), 0) << "another user's stays";
    }
}

TEST(RecordReaders, ADirectoryThatCannotBeUsedIsAnErrorThatNamesIt) {
    ScratchDir dir;
    const std::string file = dir / "plain";
    std::ofstream(file) << "not a directory\n";
    for (const std::string& records : {file, file + "/devices"}) {
        for (const char* command : {"list", "info"}) {
            const Outcome outcome = RunCtlAs(records, {command});
            EXPECT_EQ(outcome.code, 1) << records << " " << command << ": " << outcome.err;
            EXPECT_THAT(outcome.err, HasSubstr(records)) << command;
        }
    }
    EXPECT_EQ(ReadFile(file), "not a directory\n");
}

// What a record says is printed escaped, and its path is opened only when it is a serial node
// that is not the user's own terminal.
TEST(RecordFields, ControlCharactersArePrintedEscaped) {
    ScratchDir dir;
    RecordPublisher publisher(dir.path);
    ASSERT_TRUE(publisher.Publish(
        "odd", RecordText("/dev/pts/999\x1b[1m", "K1\x1b]0;owned\x07", "KAL\x1b[2J\xc2\x9b")));
    for (const Strings& command : {Strings{"-t", "list"}, Strings{"--json", "list"}}) {
        const Outcome list = RunCtlAs(dir.path, command);
        EXPECT_EQ(list.code, kOK) << list.err;
        EXPECT_FALSE(HasControlCharacters(list.out)) << list.out;
    }
    const Outcome list = RunCtlAs(dir.path, {"list"});
    EXPECT_FALSE(HasControlCharacters(list.out)) << list.out;
    EXPECT_THAT(list.out, HasSubstr(R"(K1\x1b]0;owned\x07)"));
    EXPECT_THAT(list.out, HasSubstr(R"(KAL\x1b[2J\xc2\x9b)"));
    EXPECT_THAT(list.out, HasSubstr(R"(/dev/pts/999\x1b[1m)"));
    const Outcome info = RunCtlAs(dir.path, {"info"});
    EXPECT_EQ(info.code, kNoDevice);
    EXPECT_FALSE(HasControlCharacters(info.err)) << info.err;
}

TEST(RecordFields, ARecordCannotPointAtTheUsersOwnTerminal) {
    int master = -1, slave = -1;
    char name[64] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    fcntl(master, F_SETFL, O_NONBLOCK);
    // kaldo-ctl runs with that terminal as its controlling terminal, as in a user's shell.
    const auto takeTerminal = [slave] {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
    };
    ScratchDir dir;
    RecordPublisher publisher(dir.path);
    const std::pair<std::string, const char*> cases[] = {
        {"/dev/tty", "/dev/tty is not a terminal a switcher is reached on"},
        {name, "is this program's own terminal"},
    };
    for (const auto& [path, message] : cases) {
        ASSERT_TRUE(publisher.Publish("mine", RecordText(path)));
        const Outcome info = RunCtlAs(dir.path, {"info"}, takeTerminal);
        EXPECT_EQ(info.code, kNoDevice) << path << ": " << info.err;
        EXPECT_THAT(info.err, HasSubstr(message));
        std::string reached;
        char buffer[256];
        for (ssize_t count; (count = read(master, buffer, sizeof buffer)) > 0;)
            reached.append(buffer, size_t(count));
        EXPECT_EQ(reached, "") << path << ": frames went to the user's terminal";
    }
    close(slave);
    close(master);
}

// A restore file must say where it comes from, and hold each member once.
TEST(RestoreFile, AMissingOrMistypedIdentityNeedsForce) {
    Sim sim;
    const std::string saved = sim.File("saved.json"), edited = sim.File("edited.json");
    ASSERT_EQ(sim.Ctl({"backup", saved}).code, kOK);
    const std::string text = ReadFile(saved);
    ASSERT_EQ(sim.Ctl({"set", "Cut Type", "Off"}).code, kOK);
    const std::pair<const char*, const char*> headers[] = {
        {R"("serial":"[^"]*",)", ""},
        {R"("software":"[^"]*",)", ""},
        {R"("fpga":"[^"]*",)", ""},
        {R"("serial":"[^"]*")", R"("serial":1)"},
        {R"("software":"[^"]*")", R"("software":null)"},
        {R"("fpga":"[^"]*")", R"("fpga":["02.03"])"},
    };
    for (const auto& [pattern, replacement] : headers) {
        std::ofstream(edited) << std::regex_replace(text, std::regex(pattern), replacement,
                                                    std::regex_constants::format_first_only);
        CtlResult refused = sim.Ctl({"restore", edited});
        EXPECT_EQ(refused.code, 6) << pattern << " -> " << replacement << ": " << refused.err;
        EXPECT_EQ(sim.Get("Cut Type"), "Off") << "nothing written";
        CtlResult forced = sim.Ctl({"restore", "--force", edited});
        EXPECT_EQ(forced.code, kOK) << forced.err;
        EXPECT_EQ(sim.Get("Cut Type"), "Normal");
        ASSERT_EQ(sim.Ctl({"set", "Cut Type", "Off"}).code, kOK);
    }
}

TEST(RestoreFile, AKeyGivenTwiceIsRefused) {
    Sim sim;
    const std::string saved = sim.File("saved.json"), edited = sim.File("edited.json");
    ASSERT_EQ(sim.Ctl({"backup", saved}).code, kOK);
    const std::string text = ReadFile(saved);
    const std::string entry = R"({"id":218,"label":"Cut Type","value":0})";
    ASSERT_THAT(text, HasSubstr(entry));
    const std::tuple<std::string, std::string, const char*> edits[] = {
        {entry, R"({"id":218,"label":"Cut Type","value":0,"value":2})", R"(218 has "value" twice)"},
        {entry, R"({"id":218,"id":102,"label":"Cut Type","value":2})", R"(has "id" twice)"},
        {R"("serial":)", R"("serial":"K1OTHER001","serial":)", R"("serial" appears twice)"},
    };
    for (const auto& [from, to, message] : edits) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        std::ofstream(edited) << changed;
        CtlResult refused = sim.Ctl({"restore", edited});
        EXPECT_EQ(refused.code, kUsage) << to << ": " << refused.err;
        EXPECT_THAT(refused.err, HasSubstr(message));
    }
    EXPECT_EQ(sim.Get("Cut Type"), "Normal");
}

TEST(RestoreFile, MillionsOfEntriesStopAtTheFirstHundredProblemsInBoundedMemory) {
    // Up to four million entries (about 90 MB) on standard input, written as they are read.
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    std::thread writer([fd = pair[1]] {
        std::string block = R"({"format":"kaldo-1 settings","version":1,"serial":"K1SIM00001",)"
                            R"("software":"05.01","fpga":"03.02","settings":[)";
        for (int blocks = 0; blocks < 4000; ++blocks) {
            for (int i = 0; i < 1000; ++i)
                block += R"({"id":102,"value":0},)";
            if (send(fd, block.data(), block.size(), MSG_NOSIGNAL) < 0) break;
            block.clear();
        }
        send(fd, "]}", 2, MSG_NOSIGNAL);
        close(fd);
    });
    ScratchDir dir;
    const Outcome restore = RunCtlAs(dir.path, {"restore", "-"}, {}, pair[0]);
    close(pair[0]);
    writer.join();
    // The same refusal of a file of two entries, for the memory any run takes.
    std::ofstream(dir / "two.json") << R"({"format":"kaldo-1 settings","version":1,"settings":[)"
                                    << R"({"id":102,"value":0},{"id":102,"value":0}]})";
    const Outcome small = RunCtlAs(dir.path, {"restore", dir / "two.json"});
    EXPECT_EQ(small.code, kUsage) << small.err;
    EXPECT_EQ(restore.code, kUsage) << restore.err;
    EXPECT_THAT(restore.err, HasSubstr("-: entry 2: 102 appears twice"));
    EXPECT_THAT(restore.err, HasSubstr("-: entry 101: 102 appears twice"));
    EXPECT_THAT(restore.err, Not(HasSubstr("entry 102:")));
    EXPECT_THAT(restore.err, HasSubstr("stopped at 100 wrong entries; nothing was written"));
    EXPECT_LT(restore.maxResidentKb, small.maxResidentKb + 16 * 1024) << "far less than the input";
}

// The longest text a setting holds is restored whole and reads back the same; one character
// more is refused.
TEST(RestoreFile, ATextOfExactlyItsLengthComesBackWholeAndOneMoreIsRefused) {
    Sim sim;
    const std::string saved = sim.File("saved.json"), edited = sim.File("edited.json");
    ASSERT_EQ(sim.Ctl({"backup", saved}).code, kOK);
    const std::string text = ReadFile(saved);
    const std::string login = R"("label":"Login Name","length":16,"text":"manager")";
    ASSERT_THAT(text, HasSubstr(login));
    const auto withLogin = [&](const std::string& name) {
        std::string changed = text;
        changed.replace(changed.find(login), login.size(),
                        R"("label":"Login Name","length":16,"text":")" + name + "\"");
        std::ofstream(edited) << changed;
    };
    withLogin("Studio-B-Rack-16");
    CtlResult restored = sim.Ctl({"restore", edited});
    EXPECT_EQ(restored.code, kOK) << restored.err;
    EXPECT_EQ(sim.Get("Login Name"), "Studio-B-Rack-16");
    EXPECT_EQ(sim.Ctl({"get-text", "930", "16"}).out, "Studio-B-Rack-16\n");
    ASSERT_EQ(sim.Ctl({"backup", saved}).code, kOK);
    EXPECT_EQ(ReadFile(saved), ReadFile(edited));

    withLogin("Studio-B-Rack-17X");
    CtlResult refused = sim.Ctl({"restore", edited});
    EXPECT_EQ(refused.code, kUsage);
    EXPECT_THAT(refused.err, HasSubstr("930 (Login Name) is longer than 16 characters"));
    EXPECT_EQ(sim.Get("Login Name"), "Studio-B-Rack-16");
}
