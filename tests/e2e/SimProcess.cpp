#include "SimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

SimProcess::SimProcess(std::vector<std::string> arguments, const std::string& deviceDir)
    : mDeviceDir(deviceDir) {
    char dir[] = "/tmp/kaldo-e2e-XXXXXX";
    if (mDeviceDir.empty() && mkdtemp(dir)) mDeviceDir = dir, mOwnsDir = true;
    int output[2];
    if (mDeviceDir.empty() || pipe2(output, O_CLOEXEC) != 0) return;
    mPid = Spawn(KALDO_SIM_EXE, std::move(arguments), mDeviceDir, output[1]);
    close(output[1]);
    mOutput = output[0];
    NextTty();
}

pid_t SimProcess::Spawn(const char* program, std::vector<std::string> arguments,
                        const std::string& deviceDir, int stdoutFd, int stderrFd) {
    arguments.insert(arguments.begin(), program);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    dup2(stdoutFd, STDOUT_FILENO);
    if (stderrFd >= 0) dup2(stderrFd, STDERR_FILENO);
    setenv("KALDO_DEVICE_DIR", deviceDir.c_str(), 1);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

SimProcess::~SimProcess() {
    if (mPid > 0 && Terminate() < 0) {
        kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
    if (mOutput >= 0) close(mOutput);
    std::error_code ignored;
    if (mOwnsDir) std::filesystem::remove_all(mDeviceDir, ignored);
}

const std::string& SimProcess::NextTty(int timeoutMs) {
    // The status line ends in " on TTY".
    mTty.clear();
    std::string line;
    char c;
    pollfd fd{mOutput, POLLIN, 0};
    while (poll(&fd, 1, timeoutMs) > 0 && read(mOutput, &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (const size_t on = line.rfind(" on "); on != std::string::npos)
            return mTty = line.substr(on + 4);
        line.clear();
    }
    return mTty;
}

int SimProcess::RecordCount() const {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(mDeviceDir, error)) {
        const std::string name = entry.path().filename();
        count += !name.starts_with('.') && name.ends_with(".dev");
    }
    return count;
}

int SimProcess::Terminate(int signal) {
    if (mPid <= 0) return -1;
    kill(mPid, signal);
    return WaitExit(3000);
}

int SimProcess::WaitExit(int timeoutMs) {
    constexpr int kStepMs = 5;
    int status = 0;
    for (int waited = 0; mPid > 0 && waited <= timeoutMs; waited += kStepMs) {
        if (waitpid(mPid, &status, WNOHANG) == mPid) {
            mPid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
    return -1;
}
