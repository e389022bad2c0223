// kaldo-ctl run as a program against kaldo-sim over the pseudo-terminal.
#include "Ctl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

using testing::HasSubstr;
using testing::Not;

namespace {
using Strings = std::vector<std::string>;

// A UDP socket on 127.0.0.1 with a port chosen by the system.
struct UdpPeer {
    UdpPeer() {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = std::to_string(ntohs(address.sin_port));
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
    std::string port;
};

// Lines of a trace that kaldo-ctl wrote on the link ("-> #N set ..." without the number).
Strings Writes(const std::string& trace) {
    Strings writes;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("-> #", 0) == 0 && line.find(" set ") != std::string::npos)
            writes.push_back(line.substr(line.find(" set ") + 1));
    return writes;
}
} // namespace

TEST(KaldoCtl, InfoListAndTheChoiceOfSwitcher) {
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
}

// Mistakes are found before the switcher is opened: one line, exit code 2, nothing on the link.
TEST(KaldoCtl, CommandLineMistakesAreRefusedWithTheirReason) {
    Sim sim;
    const std::pair<Strings, const char*> cases[] = {
        {{}, "Usage:"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"set", "218", "Bogus"}, "Normal, Backup Sw, Off"},
        {{"set", "990", "1"}, "read-only"},
        {{"set", "180", "100"}, "768 to 3840"},
        {{"get", "181"}, "not a parameter"},
        {{"set", "998", "1"}, "execute command"},
        {{"set-text", "980", "10", "X"}, ""},
        {{"set-text", "930", "16", "seventeen chars!!"}, ""},
        {{"dump", "--page", "Nowhere"}, ""},
        {{"get", "Cut Typo"}, "no parameter \"Cut Typo\""},
        {{"get", "Layer [1] ROI S"},
         "ROI/Setting/Layer [1] ROI Size (180), "
         "ROI/Setting/Layer [1] ROI Source (186)"},
        {{"set", "Auto Transition Time", "1.55"}, "the nearest are 1.5 or 1.6"},
        {{"set", "Sync H Phase", "101"}, "100 or 104"},
        {{"set", "IP Address", "10.1.2"}, ""},
        {{"set", "IP Address", "10.1.2.3.4"}, ""},
        {{"set", "IP Address", "10.1.2.256"}, ""},
        {{"set", "SNMP Location Name", std::string(65, 'x')}, ""},
        {{"set", "MAC Address", "00:00:00:00:00:00"}, "read-only"},
        {{"exec", "M/E Type"}, ""},
        {{"set", "Mix Type", "1"}, ""}, // a pop-up takes its items
        {{"set", "Password"}, ""},      // without a terminal a secret is never asked for
        {{"event", "KeyDown:sw:cut"}, ""},
        {{"event", "KeyDown:call:ROI1"}, "would ignore \"KeyDown:call:ROI1\""},
        {{"event", "--check", "KeyDown:pinp:1:300:0:0:100:100:5:255:255:255"},
         "field 3 \"300\" is out of range for PinP Size (0 to 100)"},
        {{"event", "--check", "Rotate:enc:0:175:0:1.5"}, "field 5 \"1.5\" is not a whole number"},
        {{"event", "--check", "Rotate:enc:0:998:1:1"}, "998 is no parameter of the dial's list"},
    };
    for (const auto& [arguments, message] : cases) {
        Strings traced = {"--trace"};
        traced.insert(traced.end(), arguments.begin(), arguments.end());
        CtlResult result = sim.Ctl(arguments.empty() ? arguments : traced);
        EXPECT_EQ(result.code, kUsage) << testing::PrintToString(arguments) << result.err;
        EXPECT_THAT(result.err, HasSubstr(message)) << testing::PrintToString(arguments);
        EXPECT_THAT(result.err, Not(HasSubstr("-> #"))) << testing::PrintToString(arguments);
    }
    EXPECT_EQ(RunCtl("/nonexistent", {"--version"}).code, kOK);
    const CtlResult version = CtlRun("/nonexistent", {"--version"}, "", KALDO_SIM_EXE).Finish();
    EXPECT_EQ(version.code, kOK);
    EXPECT_THAT(version.out, HasSubstr("."));
    EXPECT_EQ(CtlRun("/nonexistent", {"--bogus"}, "", KALDO_SIM_EXE).Finish().code, kUsage);
}

TEST(KaldoCtl, SetAndGetRoundTripsThroughTheSwitcher) {
    Sim sim;
    struct Case {
        const char *id, *value, *shown, *raw;
    }; // value as typed, raw as stored
    const Case cases[] = {
        {"102", "On", "On", "1"},                 // u8, pop-up
        {"211", "2.5", "2.5 sec", "25"},          // u8 through a converter
        {"231", "-50", "-50 %", "-50"},           // s8
        {"180", "1920", "1920 pix", "1920"},      // u16
        {"182", "-960", "-960 pix", "-960"},      // s16
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

TEST(KaldoCtl, NamesAndPrintedValuesAreAcceptedEverywhere) {
    Sim sim;
    // A label, its page path or leaf in front, any case, or the start of one label.
    for (const char* name : {"M/E Type", "m/e type", "Mix/Effect/General/M/E Type",
                             "General/M/E Type", "M/E T", "210"})
        EXPECT_EQ(sim.Ctl({"get", name}).out, "210 M/E Type: Cut\n") << name;

    // What get prints, set takes back unchanged: every row kind of the page catalogue.
    for (const char* name : {"M/E Type", "Auto Transition Time", "Main In Audio Level",
                             "Current Time Zone", "Sync H Phase", "Layer [2] ROI H Position",
                             "SNMP Location Name", "IP Address", "Wipe Border Width"}) {
        const std::string shown = sim.Get(name);
        CtlResult again = sim.Ctl({"set", name, shown});
        EXPECT_EQ(again.code, kOK) << name << ": " << again.err;
        EXPECT_THAT(again.out, HasSubstr("(unchanged)")) << name << ": " << shown;
    }

    // Exact bytes on the link for a unit typed with the value, a stored quarter, an address and
    // the first packet of a text, with the rest cleared.
    const std::tuple<const char*, const char*, Strings, const char*> cases[] = {
        {"Auto Transition Time", "1.5 sec", {"set 211: 0f"}, "1.5 sec"},
        {"Sync H Phase", "100 pix", {"set 412: 19 00"}, "100 pix"},
        {"IP Address",
         "10.1.2.3",
         {"set 900: 0a", "set 901: 01", "set 902: 02", "set 903: 03"},
         "10.1.2.3"},
        {"SNMP Location Name",
         "Rack 4",
         {"set 760: 52 61 63 6b 20 34 00 00 00 00 00 00 00 00 00 00 "
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
         "Rack 4"},
    };
    for (const auto& [name, value, writes, shown] : cases) {
        CtlResult set = sim.Ctl({"--trace", "set", name, value});
        EXPECT_EQ(set.code, kOK) << name << ": " << set.err;
        Strings written = Writes(set.err);
        if (name == std::string("SNMP Location Name")) written.resize(1);
        EXPECT_EQ(written, writes) << name;
        EXPECT_EQ(sim.Get(name), shown);
    }
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

    for (const Strings& change :
         {Strings{"set", "218", "Off"}, Strings{"set", "182", "-960"}, Strings{"set", "516", "37"},
          Strings{"set", "923", "254"}, Strings{"set-text", "620", "64", "other"}})
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

    // Files that are no backup give messages, not crashes.
    const std::string fifo = sim.File("pipe.json"), other = sim.File("other.json"),
                      json = sim.File("json.json"), huge = sim.File("huge.json");
    mkfifo(fifo.c_str(), 0600);
    std::ofstream(other) << R"({"format": "something else"})";
    std::ofstream(json) << "{ not json";
    std::ofstream(huge) << R"({"format": "kaldo-1 settings", "version": 1, "settings": [
        {"id": 231, "value": 18446744073709551615}, {"id": 18446744073709551615, "value": 0},
        {"id": 103, "value": -4294967295}]})";
    const std::tuple<std::string, int, const char*> bad[] = {
        {sim.DeviceDir(), 1, "Is a directory"},
        {fifo, 1, "not a regular file"},
        {sim.File("missing.json"), 1, "No such file"},
        {other, kUsage, ""},
        {json, kUsage, ""},
        {huge, kUsage, "3 entries are wrong; nothing was written"}};
    for (const auto& [path, code, message] : bad) {
        CtlResult restore = sim.Ctl({"restore", path});
        EXPECT_EQ(restore.code, code) << path << ": " << restore.err;
        EXPECT_THAT(restore.err, HasSubstr(message)) << path;
    }
    EXPECT_EQ(sim.Get("218"), "Off");
    EXPECT_EQ(sim.Get("102"), "Off");

    CtlResult dry = sim.Ctl({"restore", "--dry-run", first});
    EXPECT_EQ(dry.code, kOK) << dry.err;
    EXPECT_THAT(dry.out, HasSubstr("would change 218 Cut Type: Off -> Normal"));
    EXPECT_THAT(dry.out, HasSubstr("5 of "));
    EXPECT_EQ(sim.Get("218"), "Off"); // a dry run writes nothing

    CtlResult restore = sim.Ctl({"restore", first});
    EXPECT_EQ(restore.code, kOK) << restore.err;
    EXPECT_THAT(restore.out, HasSubstr("620 SNMP Community Name: ******** -> ********"));
    EXPECT_THAT(sim.Ctl({"--show-secrets", "get", "620"}).out, HasSubstr(": private\n"));
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

    // Versions answered, parameter requests not: asked once more, then given up.
    CtlResult get = Sim({"--no-answer", "0x10"}).Ctl({"get", "102", "--timeout", "500"});
    EXPECT_EQ(get.code, kNoAnswer) << get.err;
    EXPECT_LT(get.ms, 1800);
    EXPECT_THAT(get.err, HasSubstr("asking again"));
    EXPECT_THAT(get.err, HasSubstr("(2 attempts)"));

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
    CtlResult reboot = sim.Ctl({"--yes", "reboot", "--wait", "10"});
    EXPECT_EQ(reboot.code, kOK) << reboot.err;
    EXPECT_THAT(reboot.out, HasSubstr("is back as a new attachment"));
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);
}

TEST(KaldoCtl, EventGoesOutAndTheReplyLineIsPrinted) {
    UdpPeer utility;
    const std::string replyPort = UdpPeer().port; // free again once the peer is gone
    const auto event = [&](Strings arguments) {
        arguments.insert(arguments.end(), {"--port", utility.port, "--reply-port", replyPort});
        return RunCtl("/nonexistent", arguments);
    };
    // The stand-in utility reads every datagram and answers the one dial event.
    Strings received;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (!done) {
            pollfd fd{utility.fd, POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0) continue;
            char buffer[256];
            received.emplace_back(buffer,
                                  std::max<ssize_t>(0, recv(utility.fd, buffer, sizeof buffer, 0)));
            if (received.back() != "Rotate:enc:1:175:0:1") continue;
            const sockaddr_in to = UdpPeer::Loopback(std::stoi(replyPort));
            const std::string reply = "175:ROI Auto Time:5sec:4";
            sendto(utility.fd, reply.data(), reply.size(), 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
    });
    CtlResult dial = event({"event", "Rotate:enc:1:175:0:1"});
    EXPECT_EQ(dial.code, kOK) << dial.err;
    EXPECT_EQ(dial.out, "175:ROI Auto Time:5sec:4\n");

    // A key expects no reply; a dial event does.
    CtlResult key = event({"event", "KeyDown:save", "--wait", "1000"});
    EXPECT_EQ(key.code, kOK) << key.err;
    EXPECT_EQ(key.out, "");
    CtlResult silent = event({"event", "Rotate:enc:1:210:0:-2", "--wait", "100"});
    EXPECT_EQ(silent.code, kNoAnswer);
    EXPECT_THAT(silent.err, HasSubstr("no reply"));
    EXPECT_EQ(event({"event", "KeyDown:sw:CUT"}).code, kOK);
    done = true;
    reader.join();
    // One datagram each, no terminator.
    EXPECT_EQ(received, (Strings{"Rotate:enc:1:175:0:1", "KeyDown:save", "Rotate:enc:1:210:0:-2",
                                 "KeyDown:sw:CUT"}));
}

// The utility can tell who sent an event only while the sender's socket exists: kaldo-ctl keeps
// it until the event is read, and says so when nothing reads it.
TEST(KaldoCtl, EventWaitsUntilTheUtilityHasReadIt) {
    UdpPeer busy; // never reads
    CtlResult unread =
        RunCtl("/nonexistent", {"event", "KeyDown:save", "--port", busy.port, "--wait", "200"});
    EXPECT_EQ(unread.code, kNoAnswer);
    EXPECT_THAT(unread.err, HasSubstr("has not read the event within 200 ms"));

    const std::string nobody = UdpPeer().port; // free again once the peer is gone
    CtlResult unheard = RunCtl("/nonexistent", {"event", "KeyDown:save", "--port", nobody});
    EXPECT_EQ(unheard.code, kNoAnswer);
    EXPECT_THAT(unheard.err, HasSubstr("nothing listens on 127.0.0.1:" + nobody));
}

TEST(KaldoCtl, ExecuteCommandsAndParameterSaveSurviveARestart) {
    const std::string state = testing::TempDir() + "kaldo-ctl-state-" + std::to_string(getpid());
    std::remove(state.c_str());
    {
        Sim sim({"--state", state});
        const std::pair<const char*, const char*> execs[] = {
            {"Main In Sw", "set 206: 01"},
            {"ROI Preset Change Cut", "set 173: 01"},
            {"1000", "set 1000: 01"}};
        for (const auto& [name, write] : execs) {
            CtlResult exec = sim.Ctl({"--trace", "exec", name});
            EXPECT_EQ(exec.code, kOK) << name << ": " << exec.err;
            EXPECT_EQ(Writes(exec.err), Strings{write}) << name;
            EXPECT_THAT(exec.out, HasSubstr(": done"));
        }
        // A factory reset is not sent without a yes; without a terminal that is --yes.
        CtlResult reset = sim.Ctl({"--trace", "exec", "Factory Reset"});
        EXPECT_EQ(reset.code, 6);
        EXPECT_TRUE(Writes(reset.err).empty());

        CtlResult saved = sim.Ctl({"--trace", "set", "--save", "Cut Type", "Off"});
        EXPECT_EQ(saved.code, kOK) << saved.err;
        EXPECT_EQ(Writes(saved.err), (Strings{"set 218: ff", "set 1000: 01"}));
        EXPECT_EQ(access(state.c_str(), R_OK), 0); // written when saved, not only at the end
        EXPECT_EQ(sim.Ctl({"set", "M/E Type", "Wipe"}).code, kOK); // not saved
    }
    Sim restarted({"--state", state});
    EXPECT_EQ(restarted.Get("Cut Type"), "Off");
    EXPECT_EQ(restarted.Get("M/E Type"), "Cut");
    CtlResult reset = restarted.Ctl({"--yes", "exec", "Factory Reset"});
    EXPECT_EQ(reset.code, kOK) << reset.err;
    EXPECT_EQ(restarted.Get("Cut Type"), "Normal");
    std::remove(state.c_str());
}

TEST(KaldoCtl, JsonAndTerseOutputCarryEveryField) {
    Sim sim({"--serial", "K1JSON0001"});
    const auto json = [&](Strings arguments) {
        return nlohmann::json::parse(sim.Ctl(arguments).out, nullptr, false);
    };
    const auto fields = [](const nlohmann::json& object, std::initializer_list<const char*> names) {
        for (const char* name : names)
            EXPECT_TRUE(object.contains(name)) << name << " in " << object;
    };
    const nlohmann::json info = json({"--json", "info"});
    fields(info, {"product", "serial", "software", "fpga", "usb", "phy", "mac"});
    EXPECT_EQ(info["serial"], "K1JSON0001");
    const nlohmann::json list = json({"list", "--json"});
    ASSERT_TRUE(list.is_array() && list.size() == 1);
    fields(list[0], {"serial", "product", "location", "session", "path"});

    const nlohmann::json get = json({"--json", "get", "Auto Transition Time", "Password"});
    ASSERT_TRUE(get.is_array() && get.size() == 2) << get;
    EXPECT_EQ(get[0], nlohmann::json::parse(R"({"id": 211, "name": "Auto Transition Time",
        "page": "Mix/Effect/General", "value": "1.0 sec", "raw": 10})"));
    EXPECT_EQ(get[1]["value"], "********");
    EXPECT_TRUE(get[1]["raw"].is_null());

    const nlohmann::json dump = json({"--json", "dump"});
    ASSERT_TRUE(dump.is_array());
    EXPECT_EQ(dump.size(), 27u);
    EXPECT_EQ(dump[0]["page"], "Input/Main");
    EXPECT_EQ(dump[0]["class"], "KdPrmViewInputMain");
    EXPECT_EQ(dump[0]["rows"][0]["name"], "Main In H Flip");

    const nlohmann::json set = json({"--json", "set", "Cut Type", "Off"});
    EXPECT_EQ(set["changes"][0], nlohmann::json::parse(R"({"id": 218, "name": "Cut Type",
        "before": "Normal", "after": "Off", "status": "changed"})"));
    EXPECT_EQ(set["saved"], false);
    EXPECT_EQ(json({"--json", "exec", "Main In Sw"})[0]["status"], "done");

    CtlResult failed = sim.Ctl({"--json", "set", "Cut Type", "Bogus"});
    EXPECT_EQ(failed.code, kUsage);
    const nlohmann::json error = nlohmann::json::parse(failed.out, nullptr, false);
    EXPECT_EQ(error["code"], kUsage);
    EXPECT_THAT(error["error"].get<std::string>(), HasSubstr("\"Bogus\""));

    // Terse: fields joined by ':', which is escaped inside a field.
    EXPECT_EQ(sim.Ctl({"-t", "get", "Current Time Zone"}).out,
              "516:Current Time Zone:SNTP/Current:GMT +0\\:00:0\n");
    EXPECT_THAT(sim.Ctl({"-t", "dump", "--page", "Input/Main"}).out,
                HasSubstr("Input/Main:102:Main In H Flip:Off\n"));
}

TEST(KaldoCtl, WatchPrintsAChangeMadeByAnotherClient) {
    Sim sim;
    CtlRun watch(sim.DeviceDir(), {"watch", "Cut Type", "--interval", "100", "--count", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    // The watcher leaves the link free between its readings.
    EXPECT_EQ(sim.Ctl({"--wait-busy", "5", "set", "Cut Type", "Off"}).code, kOK);
    const CtlResult printed = watch.Finish();
    EXPECT_EQ(printed.code, kOK) << printed.err;
    EXPECT_THAT(printed.out, testing::ContainsRegex("[0-9:]{8} 218 Cut Type: Normal\n"
                                                    "[0-9:]{8} 218 Cut Type: Off\n"));
}

TEST(KaldoCtl, SecretsAreMaskedReadFromStdinAndBackupsPrivate) {
    Sim sim;
    EXPECT_EQ(sim.Get("Password"), "********");
    EXPECT_EQ(sim.Ctl({"--show-secrets", "get", "Password"}).out, "950 Password: password\n");
    EXPECT_THAT(sim.Ctl({"dump", "--page", "USB Only/Others"}).out, Not(HasSubstr("password")));

    CtlResult set = sim.Ctl({"set", "Password", "-"}, "s3cret\n");
    EXPECT_EQ(set.code, kOK) << set.err;
    EXPECT_EQ(set.out, "950 Password: ******** -> ********\n");
    EXPECT_EQ(sim.Ctl({"--show-secrets", "get", "Password"}).out, "950 Password: s3cret\n");

    const std::string file = sim.File("private.json");
    umask(022);
    ASSERT_EQ(sim.Ctl({"backup", file}).code, kOK);
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_THAT(ReadFile(file), HasSubstr("\"text\":\"s3cret\""));
}

TEST(KaldoCtl, LostAnswersAreRetriedAndUnconfirmedWritesReported) {
    // Every fifth request is lost: asked again, all read and every write confirmed.
    Sim lossy({"--drop-every", "5"});
    const std::string file = lossy.File("backup.json");
    CtlResult backup = lossy.Ctl({"backup", file, "--timeout", "100"});
    EXPECT_EQ(backup.code, kOK) << backup.err;
    EXPECT_THAT(backup.err, HasSubstr("asking again"));
    std::string text = ReadFile(file);
    for (const std::string original : {"\"id\":211,\"label\":\"Auto Transition Time\",\"value\":10",
                                       "\"id\":218,\"label\":\"Cut Type\",\"value\":0"})
        text.replace(text.find(original), original.size(),
                     original.substr(0, original.size() - 1) + '2');
    std::ofstream(file) << text;
    CtlResult restore = lossy.Ctl({"restore", file, "--timeout", "100"});
    EXPECT_EQ(restore.code, kOK) << restore.err;
    EXPECT_THAT(restore.out, HasSubstr("2 of "));
    EXPECT_EQ(lossy.Get("211"), "1.2 sec");

    // The switcher goes as soon as the first write is on the link, before it can answer: the
    // writes are named as not confirmed, and the exit code says so.
    Sim leaving({"--latency-ms", "40"});
    CtlRun run(leaving.DeviceDir(), {"--trace", "restore", file});
    EXPECT_TRUE(run.WaitForError(" set "));
    leaving.Terminate();
    const CtlResult printed = run.Finish();
    EXPECT_EQ(printed.code, kNoDevice) << printed.err;
    EXPECT_THAT(printed.out, HasSubstr("218 Cut Type: Off sent, not confirmed"));
    EXPECT_THAT(printed.out, HasSubstr("2 sent, not confirmed (no answer)"));
}

TEST(KaldoCtl, RestoreOntoAnotherSwitcherNeedsForceAndCanLeaveOutItsIdentity) {
    const std::string file =
        testing::TempDir() + "kaldo-ctl-clone-" + std::to_string(getpid()) + ".json";
    {
        Sim source({"--serial", "K1SOURCE01"});
        ASSERT_EQ(source.Ctl({"set", "IP Address", "10.0.0.9"}).code, kOK);
        ASSERT_EQ(source.Ctl({"set", "Cut Type", "Off"}).code, kOK);
        ASSERT_EQ(source.Ctl({"backup", file}).code, kOK);
    }
    Sim target({"--serial", "K1TARGET01"});
    CtlResult refused = target.Ctl({"restore", file});
    EXPECT_EQ(refused.code, 6);
    EXPECT_THAT(refused.err, HasSubstr("serial number K1SOURCE01, this one K1TARGET01"));
    EXPECT_EQ(target.Get("Cut Type"), "Normal");

    CtlResult only = target.Ctl({"restore", file, "--force", "--only", "USB Only/IP"});
    EXPECT_EQ(only.code, kOK) << only.err;
    EXPECT_EQ(target.Get("IP Address"), "10.0.0.9");
    EXPECT_EQ(target.Get("Cut Type"), "Normal");
    ASSERT_EQ(target.Ctl({"set", "IP Address", "192.168.1.100"}).code, kOK);

    CtlResult clone = target.Ctl({"restore", file, "--force", "--exclude", "network,identity"});
    EXPECT_EQ(clone.code, kOK) << clone.err;
    EXPECT_EQ(target.Get("Cut Type"), "Off");
    EXPECT_EQ(target.Get("IP Address"), "192.168.1.100");
    std::remove(file.c_str());
}

TEST(KaldoCtl, EachCauseOfAFailedOpenHasItsOwnMessageAndCode) {
    Sim sim;
    CtlResult missing = sim.Ctl({"--device", "/dev/kaldo-none", "info"});
    EXPECT_EQ(missing.code, kNoDevice);
    EXPECT_THAT(missing.err, HasSubstr("/dev/kaldo-none does not exist"));
    CtlResult notTerminal = sim.Ctl({"--device", "/dev/null", "info"});
    EXPECT_EQ(notTerminal.code, kNoDevice);
    EXPECT_THAT(notTerminal.err, HasSubstr("/dev/null is not a terminal"));

    const int held = open(sim.Tty().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    CtlResult busy = sim.Ctl({"info", "--wait-busy", "1"});
    EXPECT_EQ(busy.code, 8);
    EXPECT_GE(busy.ms, 900);
    EXPECT_THAT(busy.err, testing::ContainsRegex("in use by .*e2e_tests \\(pid " +
                                                 std::to_string(getpid()) + "\\)"));
    close(held);
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);

    // A user without access to the node: the udev rule is named. Only root can try this here.
    if (getuid() != 0) GTEST_SKIP() << "needs root to run kaldo-ctl as another user";
    chmod(sim.Tty().c_str(), 0600);
    const int err = memfd_create("err", MFD_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(err, STDERR_FILENO);
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
        execl(KALDO_CTL_EXE, KALDO_CTL_EXE, "--device", sim.Tty().c_str(), "info", nullptr);
        _exit(127);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    const std::string denied = Collect(err);
    EXPECT_EQ(WEXITSTATUS(status), 7) << denied;
    EXPECT_THAT(denied, HasSubstr("permission denied on " + sim.Tty()));
    EXPECT_THAT(denied, HasSubstr("70-kaldo.rules"));
}
