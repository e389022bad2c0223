// kaldo-ctl run as a program against kaldo-sim over the pseudo-terminal.
#include "SimProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

enum ExitCode { kOK = 0, kUsage = 2, kNoDevice = 3, kNoAnswer = 4, kRefused = 5 };

struct CtlResult {
    int code = -1;
    std::string out;
    std::string err;
    long ms = 0;
};

// Runs kaldo-ctl with the record directory dir and collects its output and exit code.
CtlResult RunCtl(const std::string& dir, std::vector<std::string> arguments) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const auto start = Clock::now();
    const pid_t pid = SimProcess::Spawn(KALDO_CTL_EXE, std::move(arguments), dir, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    CtlResult result;
    pollfd fds[] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[] = {&result.out, &result.err};
    for (int open = 2; open > 0 && poll(fds, 2, 20000) > 0;) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, n);
                continue;
            }
            close(fds[i].fd);
            fds[i].fd = -1;
            --open;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// A simulator of its own for one test, attached when constructed.
struct Sim {
    explicit Sim(std::vector<std::string> arguments = {}) : process(std::move(arguments)) {
        tty = process.NextTty();
    }
    CtlResult Ctl(std::vector<std::string> arguments) const {
        return RunCtl(process.DeviceDir(), std::move(arguments));
    }
    // The value of one identifier as "get" prints it after "ID LABEL: ".
    std::string Get(const std::string& id, bool raw = false) const {
        CtlResult result = Ctl(raw ? std::vector<std::string>{"get", "--raw", id}
                                   : std::vector<std::string>{"get", id});
        const size_t colon = result.out.find(": ");
        if (result.code != kOK || colon == std::string::npos) return "error: " + result.err;
        return result.out.substr(colon + 2, result.out.size() - colon - 3);
    }

    SimProcess process;
    std::string tty;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Files a test writes into its simulator's record directory, removed before the simulator goes.
struct RemovedAtEnd {
    ~RemovedAtEnd() {
        for (const std::string& path : paths)
            unlink(path.c_str());
    }
    std::vector<std::string> paths;
};

// A bound UDP socket on 127.0.0.1 with a port chosen by the system.
struct UdpPeer {
    UdpPeer() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~UdpPeer() { close(fd); }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int port = 0;
};
} // namespace

TEST(KaldoCtl, InfoListAndCommandLineMistakes) {
    Sim sim({"--serial", "K1TEST0042", "--versions", "0x0102,0x0304,0x0506,0x0708"});
    ASSERT_FALSE(sim.tty.empty());

    CtlResult info = sim.Ctl({"info"});
    EXPECT_EQ(info.code, kOK) << info.err;
    EXPECT_TRUE(Contains(info.out, "Serial number: K1TEST0042")) << info.out;
    EXPECT_TRUE(Contains(info.out, "Software:      02.01")) << info.out;
    EXPECT_TRUE(Contains(info.out, "FPGA:          04.03")) << info.out;
    EXPECT_TRUE(Contains(info.out, "USB:           06.05")) << info.out;
    EXPECT_TRUE(Contains(info.out, "PHY:           08.07")) << info.out;
    EXPECT_TRUE(Contains(info.out, "MAC address:   02:4b:")) << info.out;

    CtlResult list = sim.Ctl({"list"});
    EXPECT_EQ(list.code, kOK);
    EXPECT_TRUE(Contains(list.out, "K1TEST0042") && Contains(list.out, sim.tty)) << list.out;
    EXPECT_EQ(sim.Ctl({"--serial", "K1TEST0042", "get", "218"}).code, kOK);
    EXPECT_EQ(sim.Ctl({"--serial", "NOSUCH", "info"}).code, kNoDevice);
    EXPECT_EQ(sim.Ctl({"--device", sim.tty, "get", "218"}).code, kOK);
    const std::string empty = sim.process.DeviceDir() + "/empty";
    EXPECT_EQ(RunCtl(empty, {"info"}).code, kNoDevice);
    rmdir(empty.c_str());

    // Mistakes are found before the switcher is opened: one line, exit code 2.
    CtlResult bogus = sim.Ctl({"set", "218", "Bogus"});
    EXPECT_EQ(bogus.code, kUsage);
    EXPECT_TRUE(Contains(bogus.err, "Normal, Backup Sw, Off")) << bogus.err;
    EXPECT_TRUE(Contains(sim.Ctl({"set", "990", "1"}).err, "read-only"));
    EXPECT_TRUE(Contains(sim.Ctl({"set", "180", "100"}).err, "768 to 3840"));
    EXPECT_TRUE(Contains(sim.Ctl({"get", "181"}).err, "not a parameter"));
    EXPECT_TRUE(Contains(sim.Ctl({"set", "998", "1"}).err, "execute command"));
    EXPECT_EQ(sim.Ctl({"set-text", "980", "10", "X"}).code, kUsage);
    EXPECT_EQ(sim.Ctl({"set-text", "930", "16", "seventeen chars!!"}).code, kUsage);
    EXPECT_EQ(sim.Ctl({"frobnicate"}).code, kUsage);
    EXPECT_EQ(sim.Ctl({"dump", "--page", "Nowhere"}).code, kUsage);
}

TEST(KaldoCtl, SetAndGetRoundTripsThroughTheSwitcher) {
    Sim sim;
    struct Case {
        const char* id;
        const char* value; // as typed
        const char* shown; // as get shows it
        const char* raw;   // the stored number
    };
    const Case cases[] = {
        {"102", "On", "On", "1"},                 // u8, pop-up
        {"211", "2.5", "2.5 sec", "25"},          // u8 through a converter
        {"231", "-50", "-50 %", "-50"},           // s8
        {"180", "1920", "1920 pix", "1920"},      // u16
        {"182", "-960", "-960 pix", "-960"},      // s16
        {"412", "100", "100 pix", "25"},          // u16 shown times four
        {"516", "GMT -5:00", "GMT -5:00", "-20"}, // a text the spin box shows
        {"394", "-1080", "-1080 line", "-1080"},  // s16 at its minimum
    };
    for (const Case& c : cases) {
        CtlResult set = sim.Ctl({"set", c.id, c.value});
        EXPECT_EQ(set.code, kOK) << c.id << ": " << set.err;
        EXPECT_TRUE(Contains(set.out, std::string("-> ") + c.shown)) << set.out;
        EXPECT_EQ(sim.Get(c.id), c.shown) << c.id;
        EXPECT_EQ(sim.Get(c.id, true), c.raw) << c.id;
    }
    EXPECT_EQ(sim.Ctl({"set", "--raw", "231", "7"}).code, kOK);
    EXPECT_EQ(sim.Get("231"), "7 %");
    EXPECT_TRUE(Contains(sim.Ctl({"set", "231", "7"}).out, "(unchanged)"));

    CtlResult text = sim.Ctl({"set-text", "830", "64", "Rack 3, Studio B"});
    EXPECT_EQ(text.code, kOK) << text.err;
    EXPECT_EQ(sim.Ctl({"get-text", "830", "64"}).out, "Rack 3, Studio B\n");
    EXPECT_EQ(sim.Get("830"), "Rack 3, Studio B");
    EXPECT_EQ(sim.Ctl({"set-text", "830", "64", "x"}).code, kOK);
    EXPECT_EQ(sim.Ctl({"get-text", "830", "64"}).out, "x\n"); // the rest is cleared
}

TEST(KaldoCtl, TopValueTravelsAs255BothWays) {
    Sim sim;
    const char* ids[] = {"218", "220", "239", "240", "250"}; // their "Off" is 255 on the wire
    for (const char* id : ids) {
        CtlResult set = sim.Ctl({"--trace", "set", id, "Off"});
        EXPECT_EQ(set.code, kOK) << set.err;
        EXPECT_TRUE(Contains(set.err, std::string("-> #3 set ") + id + ": ff")) << set.err;
        CtlResult get = sim.Ctl({"--trace", "get", id});
        EXPECT_TRUE(Contains(get.err, std::string("from ") + id + ": ff")) << get.err;
        EXPECT_TRUE(Contains(get.out, ": Off")) << get.out;
    }
    EXPECT_EQ(sim.Get("218", true), "2");
    EXPECT_EQ(sim.Get("250", true), "4");
    CtlResult backup = sim.Ctl({"--trace", "set", "218", "Backup Sw"});
    EXPECT_TRUE(Contains(backup.err, "set 218: 01")) << backup.err;
}

TEST(KaldoCtl, BackupChangeAndRestoreBringEveryValueBack) {
    Sim sim;
    const std::string dir = sim.process.DeviceDir();
    const std::string first = dir + "/first.json", second = dir + "/second.json";
    RemovedAtEnd files{{first, second}};
    CtlResult backup = sim.Ctl({"backup", first});
    ASSERT_EQ(backup.code, kOK) << backup.err;
    const std::string saved = ReadFile(first);
    EXPECT_TRUE(Contains(saved, R"({"id":218,"label":"Cut Type","value":0})")) << saved;
    EXPECT_TRUE(Contains(saved, R"("id":620,"label":"SNMP Community Name","length":64,"text":)"));
    EXPECT_FALSE(Contains(saved, R"("id":990)")); // read-only
    EXPECT_FALSE(Contains(saved, R"("id":187)")); // movement, starts motion
    EXPECT_FALSE(Contains(saved, R"("id":621)")); // inside a text

    for (auto change : std::vector<std::vector<std::string>>{{"set", "218", "Off"},
                                                             {"set", "182", "-960"},
                                                             {"set", "516", "37"},
                                                             {"set", "923", "254"},
                                                             {"set-text", "620", "64", "other"}})
        ASSERT_EQ(sim.Ctl(change).code, kOK);

    CtlResult dry = sim.Ctl({"restore", "--dry-run", first});
    EXPECT_EQ(dry.code, kOK) << dry.err;
    EXPECT_TRUE(Contains(dry.out, "would change 218 Cut Type: Off -> Normal")) << dry.out;
    EXPECT_TRUE(Contains(dry.out, "5 of ")) << dry.out;
    EXPECT_EQ(sim.Get("218"), "Off"); // a dry run writes nothing

    CtlResult restore = sim.Ctl({"restore", first});
    EXPECT_EQ(restore.code, kOK) << restore.err;
    EXPECT_TRUE(Contains(restore.out, "620 SNMP Community Name: \"other\" -> \"private\""))
        << restore.out;
    EXPECT_TRUE(Contains(restore.out, "5 of ")) << restore.out;
    ASSERT_EQ(sim.Ctl({"backup", second}).code, kOK);
    EXPECT_EQ(ReadFile(second), saved);
    EXPECT_TRUE(Contains(sim.Ctl({"restore", first}).out, "0 of "));
}

TEST(KaldoCtl, RestoreOfABadFileWritesNothing) {
    Sim sim;
    const std::string path = sim.process.DeviceDir() + "/bad.json";
    RemovedAtEnd files{{path}};
    ASSERT_EQ(sim.Ctl({"backup", path}).code, kOK);
    std::string text = ReadFile(path);
    const std::string firstEntry = R"({"id":102,"label":"Main In H Flip","value":0})";
    ASSERT_TRUE(Contains(text, firstEntry));
    ASSERT_EQ(sim.Ctl({"set", "102", "On"}).code, kOK);

    struct Case {
        const char* entry;
        const char* message;
    };
    const Case cases[] = {
        {R"({"id":990,"label":"Software Version","value":5})",
         "990 (Software Version) is read-only"},
        {R"({"id":181,"value":0})", "181 is not a parameter"},
        {R"({"id":188,"value":0})", "movement value"},
        {R"({"id":180,"value":5000})", "768 to 3840"},
        {R"({"id":102,"value":1})", "appears twice"},
        {R"({"id":930,"length":16,"text":"much too long for sixteen"})", "longer than 16"},
    };
    for (const Case& c : cases) {
        std::string broken = text;
        broken.insert(broken.find(firstEntry) + firstEntry.size(), std::string(",\n") + c.entry);
        WriteFile(path, broken);
        CtlResult restore = sim.Ctl({"restore", path});
        EXPECT_EQ(restore.code, kUsage) << c.entry;
        EXPECT_TRUE(Contains(restore.err, c.message)) << restore.err;
        EXPECT_TRUE(Contains(restore.err, "nothing was written")) << restore.err;
        EXPECT_EQ(sim.Get("102"), "On") << c.entry;
    }
    WriteFile(path, "{\"format\": \"something else\"}");
    EXPECT_EQ(sim.Ctl({"restore", path}).code, kUsage);
    WriteFile(path, "{ not json");
    EXPECT_EQ(sim.Ctl({"restore", path}).code, kUsage);
}

TEST(KaldoCtl, SilentOrRefusingSwitcherGivesItsOwnExitCode) {
    {
        Sim silent({"--no-answer"});
        CtlResult info = silent.Ctl({"info"});
        EXPECT_EQ(info.code, kNoAnswer) << info.err;
        EXPECT_LT(info.ms, 1800);
        EXPECT_TRUE(Contains(info.err, "no answer")) << info.err;
    }
    {
        Sim noRequests({"--no-answer", "0x10"});
        CtlResult get = noRequests.Ctl({"get", "102"});
        EXPECT_EQ(get.code, kNoAnswer) << get.err;
        EXPECT_LT(get.ms, 1800);
    }
    {
        Sim refusing({"--refuse-status", "3", "--refuse-only", "0x20"});
        CtlResult set = refusing.Ctl({"set", "218", "Off"});
        EXPECT_EQ(set.code, kRefused);
        EXPECT_TRUE(Contains(set.err, "refused \"set 218: ff\" with status 3")) << set.err;
        EXPECT_TRUE(Contains(set.out, "kept Normal instead of Off")) << set.out;
        EXPECT_EQ(refusing.Get("218"), "Normal");
        EXPECT_EQ(refusing.Ctl({"set-text", "760", "64", "abc"}).code, kRefused);
    }
    {
        Sim refusing({"--refuse-status", "9"});
        EXPECT_EQ(refusing.Ctl({"info"}).code, kRefused);
    }
}

TEST(KaldoCtl, RebootLeavesAndComesBackAsANewAttachment) {
    Sim sim({"--reboot-ms", "300"});
    const auto before = sim.process.Records();
    ASSERT_EQ(before.size(), 1u);
    CtlResult reboot = sim.Ctl({"reboot", "--wait", "10"});
    EXPECT_EQ(reboot.code, kOK) << reboot.err;
    EXPECT_TRUE(Contains(reboot.out, "is back as a new attachment")) << reboot.out;
    EXPECT_FALSE(sim.process.NextTty().empty());
    const auto after = sim.process.Records();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after.begin()->second.at("session"), before.begin()->second.at("session"));
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);
}

TEST(KaldoCtl, EventGoesOutAndTheReplyLineIsPrinted) {
    UdpPeer utility;
    UdpPeer reserved; // frees a port for the reply
    const int replyPort = reserved.port;
    close(reserved.fd);
    reserved.fd = -1;

    std::string received;
    std::thread answer([&] {
        pollfd fd{utility.fd, POLLIN, 0};
        if (poll(&fd, 1, 5000) <= 0) return;
        char buffer[256];
        const ssize_t n = recv(utility.fd, buffer, sizeof buffer, 0);
        received.assign(buffer, n > 0 ? n : 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(replyPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const char reply[] = "175:ROI Auto Time:5sec:4";
        sendto(utility.fd, reply, sizeof reply - 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    });
    CtlResult event = RunCtl("/nonexistent", {"event", "Rotate:enc:1:175:0:1", "--port",
                                              std::to_string(utility.port), "--reply-port",
                                              std::to_string(replyPort)});
    answer.join();
    EXPECT_EQ(received, "Rotate:enc:1:175:0:1"); // one datagram, no terminator
    EXPECT_EQ(event.code, kOK) << event.err;
    EXPECT_EQ(event.out, "175:ROI Auto Time:5sec:4\n");

    CtlResult unanswered =
        RunCtl("/nonexistent", {"event", "KeyDown:save", "--port", std::to_string(utility.port),
                                "--reply-port", std::to_string(replyPort), "--wait", "100"});
    EXPECT_EQ(unanswered.code, kOK);
    EXPECT_EQ(unanswered.out, "");
}
