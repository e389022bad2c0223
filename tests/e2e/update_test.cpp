// Both firmware updates run by kaldo-ctl against kaldo-sim: completion, the switcher coming back,
// failures with the update window's texts, and the simulator vanishing mid-update.
#include "RowDataFile.h"
#include "SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using testing::HasSubstr;

namespace {
using Clock = std::chrono::steady_clock;

struct CtlRun {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    Clock::time_point start = Clock::now();
};

struct CtlResult {
    int code = -1;
    std::string out;
    std::string err;
    long ms = 0;
};

std::string Collect(int fd) {
    std::string text(std::max<off_t>(0, lseek(fd, 0, SEEK_END)), '\0');
    pread(fd, text.data(), text.size(), 0);
    close(fd);
    return text;
}

CtlRun StartCtl(const std::string& dir, std::vector<std::string> arguments) {
    CtlRun run;
    run.out = memfd_create("out", MFD_CLOEXEC);
    run.err = memfd_create("err", MFD_CLOEXEC);
    run.pid = SimProcess::Spawn(KALDO_CTL_EXE, std::move(arguments), dir, run.out, run.err);
    return run;
}

CtlResult Finish(CtlRun& run) {
    int status = -1;
    waitpid(run.pid, &status, 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - run.start);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Collect(run.out), Collect(run.err),
            ms.count()};
}

// A simulator of its own with short waits; files for it live in its record directory.
struct Sim : SimProcess {
    explicit Sim(std::vector<std::string> arguments = {})
        : SimProcess(With(std::move(arguments))) {}
    static std::vector<std::string> With(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--reboot-ms", "200", "--erase-delay-ms", "100"});
        return arguments;
    }
    CtlResult Ctl(std::vector<std::string> arguments) const {
        CtlRun run = StartCtl(DeviceDir(), std::move(arguments));
        return Finish(run);
    }
    std::string File(const std::string& name, const std::string& content) const {
        const std::string path = DeviceDir() + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // A row-data file for the simulator's bootloader with rows of 128 bytes.
    std::string RowData(int rows, const std::string& tail = "") const {
        std::string content = RowDataFile::Header(0x2E123069, 0x11) + "\r\n";
        for (int row = 0; row < rows; ++row)
            content += RowDataFile::Row(row % 2, row / 2, RowDataFile::Pattern(128, row)) + "\r\n";
        return File("usb.cyacd", content + tail);
    }
};

bool HasBootloaderRecord(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream record(entry.path());
        std::string line;
        while (std::getline(record, line))
            if (line == "kind=hid") return true;
    }
    return false;
}

std::string Image(size_t size) {
    const auto bytes = RowDataFile::Pattern(size, 11);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Update, MainFirmwareCompletesAndTheSessionGoesOn) {
    Sim sim;
    const CtlResult result = sim.Ctl({"update-main", sim.File("main.bin", Image(20000))});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "Update Completed\n");
    EXPECT_EQ(sim.Ctl({"info"}).code, 0);
}

TEST(Update, UsbControllerCompletesAndTheSwitcherComesBack) {
    Sim sim;
    const CtlResult result = sim.Ctl({"update-usb", sim.RowData(40)});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Update Completed\n"));
    EXPECT_THAT(result.out, HasSubstr("is back as a new attachment"));
    EXPECT_FALSE(sim.NextTty().empty());
    const CtlResult info = sim.Ctl({"info"});
    EXPECT_EQ(info.code, 0) << info.err;
}

TEST(Update, FailuresAreWordedAsTheWindowWordsThem) {
    struct Case {
        const char* name;
        std::vector<std::string> simArguments;
        bool usb;
        std::string file; // empty: a good file
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"missing image", {}, false, "/nonexistent/main.bin", 1, "Update Failed: File error."},
        {"empty image", {}, false, "@empty", 1, "Update Failed: File error."},
        {"refused block",
         {"--refuse-status", "3", "--refuse-only", "0x32"},
         false,
         "",
         5,
         "Update Failed: device error."},
        {"trailing empty line", {}, true, "@tail", 1, "Update Failed: File error."},
        {"wrong silicon ID",
         {"--bootloader-wrong-silicon-id"},
         true,
         "",
         3,
         "Update Failed: device error."},
        {"active application",
         {"--bootloader-active-app"},
         true,
         "",
         3,
         "Update Failed: device error."},
        {"row verifies wrong",
         {"--bootloader-bad-row", "1"},
         true,
         "",
         3,
         "Update Failed: device error."},
    };
    for (const Case& c : cases) {
        Sim sim(c.simArguments);
        std::string file = c.file;
        if (file.empty()) file = c.usb ? sim.RowData(4) : sim.File("main.bin", Image(500));
        if (file == "@empty") file = sim.File("main.bin", "");
        if (file == "@tail") file = sim.RowData(2, "\r\n");
        const CtlResult result = sim.Ctl({c.usb ? "update-usb" : "update-main", file});
        EXPECT_EQ(result.code, c.code) << c.name << ": " << result.err;
        EXPECT_THAT(result.err, HasSubstr(c.text)) << c.name;
        // A bad file never makes the switcher leave; after a bootloader failure it comes back.
        if (c.usb && c.code != 1) {
            EXPECT_FALSE(sim.NextTty().empty()) << c.name;
        }
        const CtlResult info = sim.Ctl({"info"});
        EXPECT_EQ(info.code, 0) << c.name << ": " << info.err;
    }
}

TEST(Update, SimulatorGoneMidUpdateEndsWithTheFailureText) {
    for (const bool usb : {false, true}) {
        std::string file;
        {
            Sim sim({"--latency-ms", "2"});
            file = usb ? sim.RowData(400) : sim.File("main.bin", Image(200000));
            const std::string copy = "/tmp/kaldo-e2e-" + std::to_string(getpid()) + ".fw";
            std::filesystem::copy_file(file, copy,
                                       std::filesystem::copy_options::overwrite_existing);
            file = copy;
            CtlRun run = StartCtl(sim.DeviceDir(), {usb ? "update-usb" : "update-main", file});
            // Gone in the middle: while the blocks go, or once the bootloader is there.
            for (int wait = 0; wait < 100 && usb && !HasBootloaderRecord(sim.DeviceDir()); ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::this_thread::sleep_for(std::chrono::milliseconds(usb ? 500 : 1500));
            sim.Terminate();
            const auto gone = Clock::now();
            const CtlResult result = Finish(run);
            EXPECT_EQ(result.code, usb ? 3 : 5) << result.err;
            EXPECT_THAT(result.err, HasSubstr("Update Failed: device error.")) << usb;
            EXPECT_LT(Clock::now() - gone, std::chrono::seconds(3)) << usb; // one answer wait
        }
        // The switcher can be updated again once it is back.
        Sim again;
        const CtlResult result = again.Ctl({usb ? "update-usb" : "update-main", file});
        EXPECT_EQ(result.code, 0) << usb << ": " << result.err;
        unlink(file.c_str());
    }
}

} // namespace
