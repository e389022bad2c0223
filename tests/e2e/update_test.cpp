// Both firmware updates run by kaldo-ctl against kaldo-sim: completion, the switcher coming back,
// failures with the update window's texts, the simulator vanishing mid-update, files refused
// before the switcher is touched, the confirmation, Ctrl-C, and a switcher left in its
// bootloader.
#include "Ctl.h"
#include "RowDataFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>

using testing::HasSubstr;

namespace {
// A simulator with short waits; files for it live in its record directory.
struct UpdateSim : Sim {
    explicit UpdateSim(std::vector<std::string> arguments = {}) : Sim(With(std::move(arguments))) {}
    static std::vector<std::string> With(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--reboot-ms", "200", "--erase-delay-ms", "100"});
        return arguments;
    }
    // A row-data file with rows edited by change (header and rows of RowData).
    std::string EditedRowData(const std::string& name,
                              const std::function<void(std::vector<std::string>&)>& change) const {
        std::vector<std::string> lines = {RowDataFile::Header(0x2E123069, 0x11)};
        for (int row = 0; row < 10; ++row)
            lines.push_back(RowDataFile::Row(0, row, RowDataFile::Pattern(128, row)));
        change(lines);
        std::string content;
        for (const std::string& line : lines)
            content += line + "\r\n";
        return Write(name, content);
    }
    std::string Write(const std::string& name, const std::string& content) const {
        std::ofstream(File(name), std::ios::binary) << content;
        return File(name);
    }
    // A main firmware image of size bytes.
    std::string Image(size_t size) const {
        const auto bytes = RowDataFile::Pattern(size, 11);
        return Write("main.bin", std::string(bytes.begin(), bytes.end()));
    }
    // A row-data file for the simulator's bootloader with rows of 128 bytes.
    std::string RowData(int rows, const std::string& tail = "") const {
        std::string content = RowDataFile::Header(0x2E123069, 0x11) + "\r\n";
        for (int row = 0; row < rows; ++row)
            content += RowDataFile::Row(row % 2, row / 2, RowDataFile::Pattern(128, row)) + "\r\n";
        return Write("usb.cyacd", content + tail);
    }
    // The list line of the switcher, session included: another one means it restarted.
    std::string ListLine() const { return Ctl({"list"}).out; }
    // Waits until the switcher is in its bootloader, and then waitMs more.
    bool AwaitBootloader(int waitMs = 0) const {
        for (int wait = 0; wait < 200 && !HasBootloaderRecord(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return HasBootloaderRecord();
    }
    bool HasBootloaderRecord() const {
        for (const auto& entry : std::filesystem::directory_iterator(DeviceDir()))
            if (entry.path().extension() == ".dev" &&
                ReadFile(entry.path()).find("kind=hid") != std::string::npos)
                return true;
        return false;
    }
};

TEST(Update, BothFirmwaresCompleteAndTheSwitcherIsThereAgain) {
    UpdateSim sim;
    const CtlResult main = sim.Ctl({"--yes", "update-main", sim.Image(20000)});
    EXPECT_EQ(main.code, kOK) << main.err;
    EXPECT_EQ(main.out, "Update Completed\n");
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);

    const CtlResult usb = sim.Ctl({"--yes", "update-usb", sim.RowData(40)});
    EXPECT_EQ(usb.code, kOK) << usb.err;
    EXPECT_THAT(usb.out, HasSubstr("Update Completed\n"));
    EXPECT_THAT(usb.out, HasSubstr("is back as a new attachment"));
    EXPECT_FALSE(sim.NextTty().empty());
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);
}

TEST(Update, FailuresAreWordedAsTheWindowWordsThem) {
    struct Case {
        const char* name;
        std::vector<std::string> simArguments;
        bool usb;
        int code;
    };
    const Case cases[] = {
        {"refused block", {"--refuse-status", "3", "--refuse-only", "0x32"}, false, kRefused},
        {"wrong silicon ID", {"--bootloader-wrong-silicon-id"}, true, kNoDevice},
        {"active application", {"--bootloader-active-app"}, true, kNoDevice},
        {"row verifies wrong", {"--bootloader-bad-row", "1"}, true, kNoDevice},
    };
    for (const Case& c : cases) {
        UpdateSim sim(c.simArguments);
        const std::string file = c.usb ? sim.RowData(4) : sim.Image(500);
        const CtlResult result = sim.Ctl({"--yes", c.usb ? "update-usb" : "update-main", file});
        EXPECT_EQ(result.code, c.code) << c.name << ": " << result.err;
        EXPECT_THAT(result.err, HasSubstr("Update Failed: device error.")) << c.name;
        // After a bootloader failure the switcher comes back.
        if (c.usb) {
            EXPECT_FALSE(sim.NextTty().empty()) << c.name;
        }
        const CtlResult info = sim.Ctl({"info"});
        EXPECT_EQ(info.code, kOK) << c.name << ": " << info.err;
    }
}

TEST(Update, SimulatorGoneMidUpdateEndsWithTheFailureText) {
    for (const bool usb : {false, true}) {
        const std::string file =
            "/tmp/kaldo-e2e-" + std::to_string(getpid()) + (usb ? ".cyacd" : ".bin");
        {
            UpdateSim sim({"--latency-ms", "2"});
            std::filesystem::copy_file(usb ? sim.RowData(400) : sim.Image(200000), file,
                                       std::filesystem::copy_options::overwrite_existing);
            CtlRun run(sim.DeviceDir(), {"--yes", usb ? "update-usb" : "update-main", file});
            // Gone in the middle: while the blocks go, or once the bootloader is there.
            for (int wait = 0; wait < 100 && usb && !sim.HasBootloaderRecord(); ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::this_thread::sleep_for(std::chrono::milliseconds(usb ? 500 : 1500));
            sim.Terminate();
            const auto gone = std::chrono::steady_clock::now();
            const CtlResult result = run.Finish();
            EXPECT_EQ(result.code, usb ? kNoDevice : kRefused) << result.err;
            EXPECT_THAT(result.err, HasSubstr("Update Failed: device error.")) << usb;
            EXPECT_LT(std::chrono::steady_clock::now() - gone, std::chrono::seconds(3)) << usb;
        }
        // The switcher can be updated again once it is back.
        const CtlResult again =
            UpdateSim().Ctl({"--yes", usb ? "update-usb" : "update-main", file});
        EXPECT_EQ(again.code, kOK) << usb << ": " << again.err;
        unlink(file.c_str());
    }
}
// Every bad file is refused as a file error before the switcher is touched: it neither restarts
// into its bootloader nor gets an erase, and nothing waits on a FIFO or reads a gigabyte.
TEST(Update, BadFilesAreRefusedBeforeTheSwitcherIsTouched) {
    UpdateSim sim;
    const std::string before = sim.ListLine();
    int edits = 0;
    auto rowEdit = [&](std::function<void(std::string&)> edit) {
        return sim.EditedRowData("edit" + std::to_string(++edits) + ".cyacd",
                                 [edit](std::vector<std::string>& lines) { edit(lines[9]); });
    };
    std::filesystem::create_directory(sim.File("folder.bin"));
    mkfifo(sim.File("pipe.bin").c_str(), 0600);
    const int sparse = open(sim.File("huge.bin").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(ftruncate(sparse, off_t(1) << 30), 0);
    close(sparse);
    struct Case {
        const char* name;
        bool usb;
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {"row checksum", true, rowEdit([](std::string& row) { row.back() ^= 1; }),
         "line 10: the row's checksum does not add up"},
        {"header only", true, sim.Write("header.cyacd", RowDataFile::Header(0x2E123069, 0x11)),
         "line 2: no rows after the header"},
        {"truncated row", true, rowEdit([](std::string& row) { row.resize(row.size() - 40); }),
         "line 10: the row's length field does not match its data"},
        {"random bytes", true, sim.Write("random.cyacd", "\x9c\x01\xffZ\x80\n\x17"),
         "line 1: a character that is not a hex digit"},
        {"10k-character row", true,
         rowEdit([](std::string& row) { row += std::string(10000, '0'); }),
         "line 10: longer than 766 characters"},
        {"missing colon", true, rowEdit([](std::string& row) { row[0] = '0'; }),
         "line 10: the row does not begin with ':'"},
        {"wrong length field", true, rowEdit([](std::string& row) { row[7] = '1'; }),
         "line 10: the row's length field does not match its data"},
        {"row-data file as main", false, sim.RowData(2), "not a .bin file"},
        {"text file as main", false, sim.Write("main.txt", "image"), "not a .bin file"},
        {"FIFO", false, sim.File("pipe.bin"), "is a FIFO, not a file"},
        {"directory", false, sim.File("folder.bin"), "is a directory"},
        {"1 GiB", false, sim.File("huge.bin"), "more than the 16777216 bytes"},
        {"empty", false, sim.Write("empty.bin", ""), "is empty"},
        {"missing", false, sim.File("missing.bin"), "does not exist"},
        {"trailing empty line", true, sim.RowData(2, "\r\n"), "line 4: too short"},
    };
    for (const Case& c : cases) {
        const CtlResult result =
            CtlRun(sim.DeviceDir(), {"--yes", c.usb ? "update-usb" : "update-main", c.file})
                .Finish(10000);
        EXPECT_EQ(result.code, 1) << c.name << ": " << result.err;
        EXPECT_THAT(result.err, HasSubstr(c.file + ": ")) << c.name;
        EXPECT_THAT(result.err, HasSubstr(c.message)) << c.name;
        EXPECT_LT(result.ms, 5000) << c.name; // nothing waited on a FIFO or read a gigabyte
    }
    EXPECT_EQ(sim.ListLine(), before); // the same attachment: it never restarted
    EXPECT_FALSE(sim.HasBootloaderRecord());
}

// An update asks first; without a terminal only --yes answers. A holder of the switcher makes it
// busy, as for every other command.
TEST(Update, AsksFirstAndNamesABusySwitcher) {
    UpdateSim sim;
    for (const bool usb : {false, true}) {
        const CtlResult declined =
            sim.Ctl({usb ? "update-usb" : "update-main", usb ? sim.RowData(2) : sim.Image(100)});
        EXPECT_EQ(declined.code, 6) << declined.err;
        EXPECT_THAT(declined.err, HasSubstr(usb ? "Update the USB controller firmware of K1SIM00001"
                                                : "Update the main firmware of K1SIM00001"));
        EXPECT_THAT(declined.err, HasSubstr("software 01.05, FPGA 02.03, USB 01.01"));
        EXPECT_THAT(declined.err, HasSubstr("Not asked without a terminal; add --yes"));
    }
    EXPECT_FALSE(sim.HasBootloaderRecord());

    const int held = open(sim.Tty().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    const CtlResult busy = sim.Ctl({"--yes", "update-main", sim.Image(100)});
    EXPECT_EQ(busy.code, 8) << busy.err;
    EXPECT_THAT(busy.err, HasSubstr("is in use by"));
    close(held);
}

// The first Ctrl-C during a write says what stopping would leave and the update goes on; the
// second stops it before the next block or row.
TEST(Update, FirstInterruptWarnsTheSecondStops) {
    for (const bool usb : {false, true}) {
        UpdateSim sim({"--latency-ms", "2"});
        const std::string file = usb ? sim.RowData(1000) : sim.Image(300000);
        CtlRun run(sim.DeviceDir(), {"--yes", usb ? "update-usb" : "update-main", file});
        if (usb) {
            ASSERT_TRUE(sim.AwaitBootloader(300));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        kill(run.pid, SIGINT);
        EXPECT_TRUE(run.WaitForError("Press Ctrl-C again to stop anyway")) << usb;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(waitpid(run.pid, nullptr, WNOHANG), 0) << usb; // still writing
        kill(run.pid, SIGINT);
        const CtlResult result = run.Finish(20000);
        EXPECT_EQ(result.code, 130) << usb << ": " << result.err;
        EXPECT_THAT(result.err, HasSubstr("Update Failed: Stopped before the end.")) << usb;
    }
}

// A switcher left in its bootloader by an update that was killed is listed as such, and
// update-usb finishes the job there; update-main says what to do first.
TEST(Update, SwitcherLeftInItsBootloaderIsFinishedThere) {
    UpdateSim sim({"--latency-ms", "2"});
    const std::string file = sim.RowData(1000);
    CtlRun killed(sim.DeviceDir(), {"--yes", "update-usb", file});
    ASSERT_TRUE(sim.AwaitBootloader(300));
    kill(killed.pid, SIGKILL);
    killed.Finish();

    EXPECT_THAT(sim.ListLine(), testing::ContainsRegex("K1SIM00001 .* bootloader\n"));
    const CtlResult main = sim.Ctl({"--yes", "update-main", sim.Image(100)});
    EXPECT_EQ(main.code, kNoDevice);
    EXPECT_THAT(main.err, HasSubstr("K1SIM00001 is waiting in its bootloader"));
    const CtlResult declined = sim.Ctl({"update-usb", sim.RowData(4)});
    EXPECT_EQ(declined.code, 6);
    EXPECT_THAT(declined.err, HasSubstr("is waiting in its bootloader"));

    const CtlResult finished = sim.Ctl({"--yes", "update-usb", sim.RowData(4)});
    EXPECT_EQ(finished.code, kOK) << finished.err;
    EXPECT_THAT(finished.out,
                HasSubstr("Update Completed\nK1SIM00001 is back as a new attachment"));
    EXPECT_THAT(sim.ListLine(), HasSubstr("/dev/pts/"));
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);
}
} // namespace
