// Test main for tests that open device nodes. Root ignores a terminal's exclusive flag and the
// modes of files, so when the tests run as root they run a second time, first, as the
// unprivileged user 65534 in a child process: faults that only a normal user meets still fail.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr uid_t kUnprivilegedID = 65534;

// RUN_ALL_TESTS() in a child process as kUnprivilegedID; its exit status.
int RunUnprivileged() {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedID) != 0 ||
            setuid(kUnprivilegedID) != 0) {
            std::perror("cannot drop to uid 65534");
            std::exit(1);
        }
        std::printf("[ as uid %u ]\n", unsigned(kUnprivilegedID));
        std::exit(RUN_ALL_TESTS());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (geteuid() != 0 || GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    const int unprivileged = RunUnprivileged();
    std::printf("[ as uid %u ]\n", unsigned(geteuid()));
    const int privileged = RUN_ALL_TESTS();
    return unprivileged != 0 ? unprivileged : privileged;
}
