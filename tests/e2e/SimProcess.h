#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Runs kaldo-sim for a test in a record directory of its own (removed with it) or the one given,
// and reads the terminal path of each attachment from its output. Terminated on destruction.
class SimProcess {
public:
    // Starts the simulator and waits for its first attachment.
    explicit SimProcess(std::vector<std::string> arguments, const std::string& deviceDir = "");
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts program with arguments and KALDO_DEVICE_DIR=deviceDir, its standard output on
    // stdoutFd and its standard error on stderrFd (-1: inherited). The child's pid, or -1.
    static pid_t Spawn(const char* program, std::vector<std::string> arguments,
                       const std::string& deviceDir, int stdoutFd, int stderrFd = -1);

    // The terminal of the latest attachment ("" when none was announced in time).
    const std::string& Tty() const { return mTty; }
    // Waits for the next attachment; its terminal, or "".
    const std::string& NextTty(int timeoutMs = 3000);
    const std::string& DeviceDir() const { return mDeviceDir; }
    // The device records in the directory (docs/virtual-devices.md).
    int RecordCount() const;
    // Sends the signal and returns the exit status (-1 when it did not end in time).
    int Terminate(int signal = 15);
    // The exit status once the process has ended by itself within the time, else -1.
    int WaitExit(int timeoutMs);

private:
    pid_t mPid = -1;
    int mOutput = -1;
    std::string mDeviceDir;
    bool mOwnsDir = false;
    std::string mTty;
};
