#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Runs kaldo-sim for a test with its own record directory and reads the terminal path of each
// attachment from its output. Terminated (SIGTERM) and cleaned up on destruction.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> arguments);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts program with arguments and KALDO_DEVICE_DIR=deviceDir, its standard output on
    // stdoutFd and its standard error on stderrFd (-1: inherited). The child's pid, or -1.
    static pid_t Spawn(const char* program, std::vector<std::string> arguments,
                       const std::string& deviceDir, int stdoutFd, int stderrFd = -1);

    // The terminal path of the next attachment, or "" when none is announced in time.
    std::string NextTty(int timeoutMs = 3000);
    const std::string& DeviceDir() const { return mDeviceDir; }
    // key=value pairs of every record in the directory, by file name.
    std::map<std::string, std::map<std::string, std::string>> Records() const;
    // Sends SIGTERM and returns the exit status (-1 when it did not end in time).
    int Terminate();
    // The exit status once the process has ended by itself within the time, else -1.
    int WaitExit(int timeoutMs);

private:
    pid_t mPid = -1;
    int mOutput = -1;
    std::string mDeviceDir;
};
