#include "SimRecord.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint64_t kVirtualSessionBit = 1ULL << 62;

// mkdir -p with mode 0700 for every level created.
bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}
} // namespace

std::string SimRecord::Directory() {
    if (const char* dir = std::getenv("KALDO_DEVICE_DIR"); dir && *dir) return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/kaldo/devices";
    return "/tmp/kaldo-" + std::to_string(getuid()) + "/devices";
}

uint64_t SimRecord::NewSession() {
    static std::mt19937_64 random{std::random_device{}()};
    return kVirtualSessionBit | (random() & (kVirtualSessionBit - 1));
}

bool SimRecord::Publish(const std::string& name, const _SInfo& info, std::string& error) {
    Remove();
    const std::string dir = Directory();
    const std::string temporary = dir + "/." + name + ".tmp";
    const std::string path = dir + "/" + name + ".dev";
    FILE* file = MakeDirectories(dir) ? std::fopen(temporary.c_str(), "w") : nullptr;
    if (!file) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool hid = !info.socket.empty();
    std::fprintf(file,
                 "kind=%s\nvendor=0x%04x\nproduct=0x%04x\nvendor_name=%s\nproduct_name=%s\n"
                 "serial=%s\nlocation=0x%08x\nsession=%llu\n%s=%s\n",
                 hid ? "hid" : "serial", info.vendor, info.product, info.vendorName.c_str(),
                 info.productName.c_str(), info.serial.c_str(), info.location,
                 static_cast<unsigned long long>(info.session), hid ? "socket" : "tty",
                 hid ? info.socket.c_str() : info.tty.c_str());
    const bool written = std::fclose(file) == 0;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot publish " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    mPath = path;
    return true;
}

void SimRecord::Remove() {
    if (mPath.empty()) return;
    unlink(mPath.c_str());
    mPath.clear();
}
