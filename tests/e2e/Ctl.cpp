#include "Ctl.h"

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

CtlRun::CtlRun(const std::string& dir, std::vector<std::string> arguments, const std::string& input,
               const char* program)
    : out(memfd_create("out", MFD_CLOEXEC)), err(memfd_create("err", MFD_CLOEXEC)) {
    const int in = memfd_create("in", MFD_CLOEXEC);
    pwrite(in, input.data(), input.size(), 0);
    // The child inherits standard input: the test's own is swapped for the spawn.
    const int saved = dup(STDIN_FILENO);
    dup2(in, STDIN_FILENO);
    pid = SimProcess::Spawn(program, std::move(arguments), dir, out, err);
    dup2(saved, STDIN_FILENO);
    close(saved);
    close(in);
}

bool CtlRun::WaitForError(const std::string& text, int timeoutMs) const {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        struct stat info {};
        fstat(err, &info);
        std::string written(info.st_size, '\0');
        pread(err, written.data(), written.size(), 0);
        if (written.find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

CtlResult CtlRun::Finish(int limitMs) {
    int status = -1;
    for (int waited = 0; limitMs >= 0 && waitpid(pid, &status, WNOHANG) == 0; waited += 10) {
        if (waited >= limitMs) kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (limitMs < 0) waitpid(pid, &status, 0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Collect(out), Collect(err), ms.count()};
}

std::string Collect(int fd) {
    std::string text(std::max<off_t>(0, lseek(fd, 0, SEEK_END)), '\0');
    pread(fd, text.data(), text.size(), 0);
    close(fd);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::string Sim::Get(const std::string& id, bool raw) const {
    CtlResult result = Ctl(raw ? std::vector<std::string>{"get", "--raw", id}
                               : std::vector<std::string>{"get", id});
    const size_t colon = result.out.find(": ");
    if (result.code != kOK || colon == std::string::npos) return "error: " + result.err;
    return result.out.substr(colon + 2, result.out.size() - colon - 3);
}
