// Test main for programs that use a umockdev testbed: the preload library must be in the
// process before the testbed is made, so the program re-executes itself with it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
constexpr char kPreload[] = "libumockdev-preload.so.0";

void Prepend(const char* name, const std::string& value, const char* separator) {
    const char* old = getenv(name);
    setenv(name, old && *old ? (value + separator + old).c_str() : value.c_str(), 1);
}
} // namespace

int main(int argc, char** argv) {
    const char* preload = getenv("LD_PRELOAD");
    if (!preload || !strstr(preload, kPreload)) {
        Prepend("LD_PRELOAD", kPreload, ":");
        // The sanitizer runtime would insist on being loaded first.
        Prepend("ASAN_OPTIONS", "verify_asan_link_order=0", ":");
        execv("/proc/self/exe", argv);
        perror("re-executing with the umockdev preload library");
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
