// Both firmware updates run by kaldo-ctl against kaldo-sim: completion, the switcher coming back,
// failures with the update window's texts, and the simulator vanishing mid-update.
#include "Ctl.h"
#include "RowDataFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    bool HasBootloaderRecord() const {
        for (const auto& entry : std::filesystem::directory_iterator(DeviceDir()))
            if (ReadFile(entry.path()).find("kind=hid") != std::string::npos) return true;
        return false;
    }
};

TEST(Update, BothFirmwaresCompleteAndTheSwitcherIsThereAgain) {
    UpdateSim sim;
    const CtlResult main = sim.Ctl({"update-main", sim.Image(20000)});
    EXPECT_EQ(main.code, kOK) << main.err;
    EXPECT_EQ(main.out, "Update Completed\n");
    EXPECT_EQ(sim.Ctl({"info"}).code, kOK);

    const CtlResult usb = sim.Ctl({"update-usb", sim.RowData(40)});
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
        std::string file; // empty: a good file
        int code;
    };
    const Case cases[] = {
        {"missing image", {}, false, "/nonexistent/main.bin", 1},
        {"empty image", {}, false, "@empty", 1},
        {"refused block", {"--refuse-status", "3", "--refuse-only", "0x32"}, false, "", kRefused},
        {"trailing empty line", {}, true, "@tail", 1},
        {"wrong silicon ID", {"--bootloader-wrong-silicon-id"}, true, "", kNoDevice},
        {"active application", {"--bootloader-active-app"}, true, "", kNoDevice},
        {"row verifies wrong", {"--bootloader-bad-row", "1"}, true, "", kNoDevice},
    };
    for (const Case& c : cases) {
        UpdateSim sim(c.simArguments);
        std::string file = c.file;
        if (file.empty()) file = c.usb ? sim.RowData(4) : sim.Image(500);
        if (file == "@empty") file = sim.Write("main.bin", "");
        if (file == "@tail") file = sim.RowData(2, "\r\n");
        const CtlResult result = sim.Ctl({c.usb ? "update-usb" : "update-main", file});
        EXPECT_EQ(result.code, c.code) << c.name << ": " << result.err;
        EXPECT_THAT(result.err, HasSubstr(c.code == 1 ? "Update Failed: File error."
                                                      : "Update Failed: device error."))
            << c.name;
        // A bad file never makes the switcher leave; after a bootloader failure it comes back.
        if (c.usb && c.code != 1) {
            EXPECT_FALSE(sim.NextTty().empty()) << c.name;
        }
        const CtlResult info = sim.Ctl({"info"});
        EXPECT_EQ(info.code, kOK) << c.name << ": " << info.err;
    }
}

TEST(Update, SimulatorGoneMidUpdateEndsWithTheFailureText) {
    for (const bool usb : {false, true}) {
        const std::string file = "/tmp/kaldo-e2e-" + std::to_string(getpid()) + ".fw";
        {
            UpdateSim sim({"--latency-ms", "2"});
            std::filesystem::copy_file(usb ? sim.RowData(400) : sim.Image(200000), file,
                                       std::filesystem::copy_options::overwrite_existing);
            CtlRun run(sim.DeviceDir(), {usb ? "update-usb" : "update-main", file});
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
        const CtlResult again = UpdateSim().Ctl({usb ? "update-usb" : "update-main", file});
        EXPECT_EQ(again.code, kOK) << usb << ": " << again.err;
        unlink(file.c_str());
    }
}
} // namespace
