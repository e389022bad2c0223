#pragma once
// kaldo-ctl run as a program for the end-to-end tests, and a simulator that it is run against.
#include "SimProcess.h"

#include <chrono>
#include <string>
#include <vector>

enum ExitCode { kOK = 0, kUsage = 2, kNoDevice = 3, kNoAnswer = 4, kRefused = 5 };

struct CtlResult {
    int code = -1; // -1: killed, or still running after its time
    std::string out;
    std::string err;
    long ms = 0;
};

// A kaldo-ctl (or other program) process started with KALDO_DEVICE_DIR=dir and input on its
// standard input.
struct CtlRun {
    CtlRun(const std::string& dir, std::vector<std::string> arguments,
           const std::string& input = "", const char* program = KALDO_CTL_EXE);
    // Whether text appears in the standard error within timeoutMs.
    bool WaitForError(const std::string& text, int timeoutMs = 5000) const;
    // Waits for the end (killed after limitMs when that is not negative) and collects the output.
    CtlResult Finish(int limitMs = -1);
    pid_t pid = -1;
    int out = -1, err = -1;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

inline CtlResult RunCtl(const std::string& dir, std::vector<std::string> arguments,
                        const std::string& input = "") {
    return CtlRun(dir, std::move(arguments), input).Finish();
}

// What was written into the memory file fd, which is closed.
std::string Collect(int fd);
std::string ReadFile(const std::string& path);

// A simulator of its own for one test, attached when constructed.
struct Sim : SimProcess {
    explicit Sim(std::vector<std::string> arguments = {}) : SimProcess(std::move(arguments)) {}
    CtlResult Ctl(std::vector<std::string> arguments, const std::string& input = "") const {
        return RunCtl(DeviceDir(), std::move(arguments), input);
    }
    // The value as "get" prints it after "ID LABEL: ", or "error: " and the message.
    std::string Get(const std::string& id, bool raw = false) const;
    // A path in the record directory, which goes with the simulator.
    std::string File(const std::string& name) const { return DeviceDir() + "/" + name; }
};
