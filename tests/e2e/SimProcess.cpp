#include "SimProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return std::max(0, static_cast<int>(left.count()));
}
} // namespace

SimProcess::SimProcess(std::vector<std::string> arguments) {
    char dir[] = "/tmp/kaldo-e2e-XXXXXX";
    if (mkdtemp(dir)) mDeviceDir = dir;
    int output[2];
    if (mDeviceDir.empty() || pipe2(output, O_CLOEXEC) != 0) return;
    mPid = Spawn(KALDO_SIM_EXE, std::move(arguments), mDeviceDir, output[1]);
    close(output[1]);
    mOutput = output[0];
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
    for (const auto& [name, fields] : Records())
        unlink((mDeviceDir + "/" + name).c_str());
    if (!mDeviceDir.empty()) rmdir(mDeviceDir.c_str());
}

std::string SimProcess::NextTty(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    char c;
    pollfd fd{mOutput, POLLIN, 0};
    while (poll(&fd, 1, MsLeft(end)) > 0 && read(mOutput, &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        const size_t on = line.rfind(" on ");
        if (on != std::string::npos) return line.substr(on + 4);
        if (!line.empty() && line[0] == '/') return line;
        line.clear();
    }
    return "";
}

std::map<std::string, std::map<std::string, std::string>> SimProcess::Records() const {
    std::map<std::string, std::map<std::string, std::string>> records;
    DIR* dir = opendir(mDeviceDir.c_str());
    if (!dir) return records;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name[0] == '.' || name.size() < 4 || name.compare(name.size() - 4, 4, ".dev") != 0)
            continue;
        std::ifstream in(mDeviceDir + "/" + name);
        auto& fields = records[name];
        for (std::string line; std::getline(in, line);) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos)
                fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    closedir(dir);
    return records;
}

int SimProcess::Terminate() {
    if (mPid <= 0) return -1;
    kill(mPid, SIGTERM);
    return WaitExit(3000);
}

int SimProcess::WaitExit(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (mPid > 0) {
        if (waitpid(mPid, &status, WNOHANG) == mPid) {
            mPid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (MsLeft(end) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}
