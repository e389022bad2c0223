// kaldo-ctl run as a program against kaldo-sim over the pseudo-terminal.
#include "SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using testing::HasSubstr;
using testing::Not;

namespace {
using Clock = std::chrono::steady_clock;

enum ExitCode { kOK = 0, kUsage = 2, kNoDevice = 3, kNoAnswer = 4, kRefused = 5 };

struct CtlResult {
    int code = -1;
    std::string out;
    std::string err;
    long ms = 0;
};

// What the program wrote into the memory file fd.
std::string Collect(int fd) {
    std::string text(std::max<off_t>(0, lseek(fd, 0, SEEK_END)), '\0');
    pread(fd, text.data(), text.size(), 0);
    close(fd);
    return text;
}

// Runs kaldo-ctl with the record directory dir and collects its output and exit code.
CtlResult RunCtl(const std::string& dir, std::vector<std::string> arguments) {
    const int out = memfd_create("out", MFD_CLOEXEC), err = memfd_create("err", MFD_CLOEXEC);
    const auto start = Clock::now();
    const pid_t pid = SimProcess::Spawn(KALDO_CTL_EXE, std::move(arguments), dir, out, err);
    int status = -1;
    waitpid(pid, &status, 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Collect(out), Collect(err), ms.count()};
}

// A simulator of its own for one test, attached when constructed.
struct Sim : SimProcess {
    explicit Sim(std::vector<std::string> arguments = {}) : SimProcess(std::move(arguments)) {}
    CtlResult Ctl(std::vector<std::string> arguments) const {
        return RunCtl(DeviceDir(), std::move(arguments));
    }
    // The value of one identifier as "get" prints it after "ID LABEL: ".
    std::string Get(const std::string& id, bool raw = false) const {
        CtlResult result = Ctl(raw ? std::vector<std::string>{"get", "--raw", id}
                                   : std::vector<std::string>{"get", id});
        const size_t colon = result.out.find(": ");
        if (result.code != kOK || colon == std::string::npos) return "error: " + result.err;
        return result.out.substr(colon + 2, result.out.size() - colon - 3);
    }
    // A path in the record directory, which goes with the simulator.
    std::string File(const std::string& name) const { return DeviceDir() + "/" + name; }
};

std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// A UDP socket on 127.0.0.1 with a port chosen by the system.
struct UdpPeer {
    UdpPeer() {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~UdpPeer() { close(fd); }
    static sockaddr_in Loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int port = 0;
};
} // namespace

TEST(KaldoCtl, InfoListAndCommandLineMistakes) {
    Sim sim({"--serial", "K1TEST0042", "--versions", "0x0102,0x0304,0x0506,0x0708"});
    ASSERT_FALSE(sim.Tty().empty());

    CtlResult info = sim.Ctl({"info"});
    EXPECT_EQ(info.code, kOK) << info.err;
    EXPECT_EQ(info.out, "Product:       KALDO-1\nSerial number: K1TEST0042\n"
                        "Software:      02.01\nFPGA:          04.03\nUSB:           06.05\n"
                        "PHY:           08.07\nMAC address:   02:4b:31:00:00:01\n");

    // The simulator's record as the device layer reads it.
    CtlResult list = sim.Ctl({"list"});
    EXPECT_EQ(list.code, kOK);
    EXPECT_THAT(list.out, HasSubstr("\nK1TEST0042   KALDO-1    0x09100000 0x"));
    EXPECT_THAT(list.out, HasSubstr(" " + sim.Tty() + "\n"));
    EXPECT_EQ(sim.Ctl({"--serial", "K1TEST0042", "get", "218"}).code, kOK);
    EXPECT_EQ(sim.Ctl({"--serial", "NOSUCH", "info"}).code, kNoDevice);
    EXPECT_EQ(sim.Ctl({"--device", sim.Tty(), "get", "218"}).code, kOK);
    EXPECT_EQ(RunCtl(sim.File("empty"), {"info"}).code, kNoDevice);

    // Mistakes are found before the switcher is opened: one line, exit code 2.
    CtlResult bogus = sim.Ctl({"set", "218", "Bogus"});
    EXPECT_EQ(bogus.code, kUsage);
    EXPECT_THAT(bogus.err, HasSubstr("Normal, Backup Sw, Off"));
    EXPECT_THAT(sim.Ctl({"set", "990", "1"}).err, HasSubstr("read-only"));
    EXPECT_THAT(sim.Ctl({"set", "180", "100"}).err, HasSubstr("768 to 3840"));
    EXPECT_THAT(sim.Ctl({"get", "181"}).err, HasSubstr("not a parameter"));
    EXPECT_THAT(sim.Ctl({"set", "998", "1"}).err, HasSubstr("execute command"));
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
        {"250", "Off", "Off", "4"},               // 255 on the wire
        {"218", "Backup Sw", "Backup Sw", "1"},   // an "Off" parameter below its top
    };
    for (const Case& c : cases) {
        CtlResult set = sim.Ctl({"set", c.id, c.value});
        EXPECT_EQ(set.code, kOK) << c.id << ": " << set.err;
        EXPECT_THAT(set.out, HasSubstr(std::string("-> ") + c.shown));
        EXPECT_EQ(sim.Get(c.id), c.shown) << c.id;
        EXPECT_EQ(sim.Get(c.id, true), c.raw) << c.id;
    }
    EXPECT_EQ(sim.Ctl({"set", "--raw", "231", "7"}).code, kOK);
    EXPECT_EQ(sim.Get("231"), "7 %");
    EXPECT_THAT(sim.Ctl({"set", "231", "7"}).out, HasSubstr("(unchanged)"));

    // The top value of the "Off" parameters travels as 255 both ways.
    EXPECT_THAT(sim.Ctl({"--trace", "set", "239", "Off"}).err, HasSubstr("-> #3 set 239: ff"));
    CtlResult off = sim.Ctl({"--trace", "get", "239"});
    EXPECT_THAT(off.err, HasSubstr("from 239: ff"));
    EXPECT_THAT(off.out, HasSubstr(": Off"));

    EXPECT_EQ(sim.Ctl({"set-text", "830", "64", "Rack 3, Studio B"}).code, kOK);
    EXPECT_EQ(sim.Ctl({"get-text", "830", "64"}).out, "Rack 3, Studio B\n");
    EXPECT_EQ(sim.Get("830"), "Rack 3, Studio B");
    EXPECT_EQ(sim.Ctl({"set-text", "830", "64", "x"}).code, kOK);
    EXPECT_EQ(sim.Ctl({"get-text", "830", "64"}).out, "x\n"); // the rest is cleared
}

TEST(KaldoCtl, BackupChangeAndRestoreBringEveryValueBack) {
    Sim sim;
    const std::string first = sim.File("first.json"), second = sim.File("second.json");
    CtlResult backup = sim.Ctl({"backup", first});
    ASSERT_EQ(backup.code, kOK) << backup.err;
    const std::string saved = ReadFile(first);
    const std::string firstEntry = R"({"id":102,"label":"Main In H Flip","value":0})";
    EXPECT_THAT(saved, HasSubstr(firstEntry));
    EXPECT_THAT(saved, HasSubstr(R"({"id":218,"label":"Cut Type","value":0})"));
    EXPECT_THAT(saved, HasSubstr(R"("id":620,"label":"SNMP Community Name","length":64,"text":)"));
    EXPECT_THAT(saved, Not(HasSubstr(R"("id":990)"))); // read-only
    EXPECT_THAT(saved, Not(HasSubstr(R"("id":187)"))); // movement, starts motion
    EXPECT_THAT(saved, Not(HasSubstr(R"("id":621)"))); // inside a text

    for (auto change : std::vector<std::vector<std::string>>{{"set", "218", "Off"},
                                                             {"set", "182", "-960"},
                                                             {"set", "516", "37"},
                                                             {"set", "923", "254"},
                                                             {"set-text", "620", "64", "other"}})
        ASSERT_EQ(sim.Ctl(change).code, kOK);

    // A file with wrong entries is refused as a whole, every problem on its own line.
    const std::pair<const char*, const char*> wrong[] = {
        {R"({"id":990,"label":"Software Version","value":5})",
         "990 (Software Version) is read-only"},
        {R"({"id":181,"value":0})", "181 is not a parameter"},
        {R"({"id":188,"value":0})", "movement value"},
        {R"({"id":180,"value":5000})", "768 to 3840"},
        {R"({"id":102,"value":1})", "102 appears twice"},
        {R"({"id":930,"length":16,"text":"much too long for sixteen"})", "longer than 16"},
    };
    std::string broken = saved;
    for (const auto& [entry, message] : wrong)
        broken.insert(broken.find(firstEntry) + firstEntry.size(), std::string(",\n") + entry);
    std::ofstream(second) << broken;
    CtlResult refused = sim.Ctl({"restore", second});
    EXPECT_EQ(refused.code, kUsage);
    for (const auto& [entry, message] : wrong)
        EXPECT_THAT(refused.err, HasSubstr(message));
    // The six, and the backup's own entries of 180 and 930 now appear twice.
    EXPECT_THAT(refused.err, HasSubstr("8 entries are wrong; nothing was written"));
    for (const char* other : {"{\"format\": \"something else\"}", "{ not json"}) {
        std::ofstream(second) << other;
        EXPECT_EQ(sim.Ctl({"restore", second}).code, kUsage) << other;
    }
    EXPECT_EQ(sim.Get("218"), "Off");

    CtlResult dry = sim.Ctl({"restore", "--dry-run", first});
    EXPECT_EQ(dry.code, kOK) << dry.err;
    EXPECT_THAT(dry.out, HasSubstr("would change 218 Cut Type: Off -> Normal"));
    EXPECT_THAT(dry.out, HasSubstr("5 of "));
    EXPECT_EQ(sim.Get("218"), "Off"); // a dry run writes nothing

    CtlResult restore = sim.Ctl({"restore", first});
    EXPECT_EQ(restore.code, kOK) << restore.err;
    EXPECT_THAT(restore.out, HasSubstr("620 SNMP Community Name: \"other\" -> \"private\""));
    EXPECT_THAT(restore.out, HasSubstr("5 of "));
    ASSERT_EQ(sim.Ctl({"backup", second}).code, kOK);
    EXPECT_EQ(ReadFile(second), saved);
    EXPECT_THAT(sim.Ctl({"restore", first}).out, HasSubstr("0 of "));
}

// Also the simulator's --no-answer and --refuse-status options at work.
TEST(KaldoCtl, SilentOrRefusingSwitcherGivesItsOwnExitCode) {
    CtlResult info = Sim({"--no-answer"}).Ctl({"info"});
    EXPECT_EQ(info.code, kNoAnswer) << info.err;
    EXPECT_LT(info.ms, 1800);
    EXPECT_THAT(info.err, HasSubstr("no answer"));

    // Versions answered, parameter requests not.
    CtlResult get = Sim({"--no-answer", "0x10"}).Ctl({"get", "102"});
    EXPECT_EQ(get.code, kNoAnswer) << get.err;
    EXPECT_LT(get.ms, 1800);

    Sim refusing({"--refuse-status", "3", "--refuse-only", "0x20"});
    CtlResult set = refusing.Ctl({"set", "218", "Off"});
    EXPECT_EQ(set.code, kRefused);
    EXPECT_THAT(set.err, HasSubstr("refused \"set 218: ff\" with status 3"));
    EXPECT_THAT(set.out, HasSubstr("kept Normal instead of Off"));
    EXPECT_EQ(refusing.Get("218"), "Normal");
    EXPECT_EQ(refusing.Ctl({"set-text", "760", "64", "abc"}).code, kRefused);
    EXPECT_EQ(Sim({"--refuse-status", "9"}).Ctl({"info"}).code, kRefused);
}

// What the simulator does on a reboot is in sim_test; here the client waits for its return.
TEST(KaldoCtl, RebootWaitsForTheNewAttachment) {
    Sim sim({"--reboot-ms", "300"});
    CtlResult reboot = sim.Ctl({"reboot", "--wait", "10"});
    EXPECT_EQ(reboot.code, kOK) << reboot.err;
    EXPECT_THAT(reboot.out, HasSubstr("is back as a new attachment"));
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);
}

TEST(KaldoCtl, EventGoesOutAndTheReplyLineIsPrinted) {
    UdpPeer utility;
    const int replyPort = UdpPeer().port; // free again once the peer is gone
    const std::vector<std::string> ports = {"--port", std::to_string(utility.port), "--reply-port",
                                            std::to_string(replyPort)};

    std::string received;
    std::thread answer([&] {
        pollfd fd{utility.fd, POLLIN, 0};
        if (poll(&fd, 1, 5000) <= 0) return;
        char buffer[256];
        received.assign(buffer, std::max<ssize_t>(0, recv(utility.fd, buffer, sizeof buffer, 0)));
        const sockaddr_in to = UdpPeer::Loopback(replyPort);
        const std::string reply = "175:ROI Auto Time:5sec:4";
        sendto(utility.fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    });
    std::vector<std::string> arguments = {"event", "Rotate:enc:1:175:0:1"};
    arguments.insert(arguments.end(), ports.begin(), ports.end());
    CtlResult event = RunCtl("/nonexistent", arguments);
    answer.join();
    EXPECT_EQ(received, "Rotate:enc:1:175:0:1"); // one datagram, no terminator
    EXPECT_EQ(event.code, kOK) << event.err;
    EXPECT_EQ(event.out, "175:ROI Auto Time:5sec:4\n");

    arguments = {"event", "KeyDown:save", "--wait", "100"};
    arguments.insert(arguments.end(), ports.begin(), ports.end());
    CtlResult unanswered = RunCtl("/nonexistent", arguments);
    EXPECT_EQ(unanswered.code, kOK);
    EXPECT_EQ(unanswered.out, "");
}
