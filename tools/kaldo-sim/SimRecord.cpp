#include "SimRecord.h"

#include "LReplacementFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {
constexpr uint64_t kVirtualSessionBit = 1ULL << 62;

std::string FallbackBase() {
    return "/tmp/kaldo-" + std::to_string(getuid());
}

// mkdir -p with mode 0700 for every level created.
bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// The fallback base lies in /tmp, where anyone may have made it: it must be a directory of this
// user that nobody else may write to, as readers refuse any other.
bool IsPrivateDirectory(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

SimRecord::SimRecord() = default;

SimRecord::~SimRecord() {
    Remove();
}

std::string SimRecord::Directory() {
    if (const char* dir = std::getenv("KALDO_DEVICE_DIR"); dir && *dir) return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/kaldo/devices";
    return FallbackBase() + "/devices";
}

uint64_t SimRecord::NewSession() {
    static std::mt19937_64 random{std::random_device{}()};
    return kVirtualSessionBit | (random() & (kVirtualSessionBit - 1));
}

bool SimRecord::Publish(const std::string& name, const _SInfo& info, std::string& error) {
    Remove();
    const std::string dir = Directory();
    if (dir == FallbackBase() + "/devices") {
        mkdir(FallbackBase().c_str(), 0700);
        if (!IsPrivateDirectory(FallbackBase())) {
            error = FallbackBase() +
                    " belongs to another user or others may write to it; set XDG_RUNTIME_DIR "
                    "or KALDO_DEVICE_DIR";
            return false;
        }
    }
    const std::string path = dir + "/" + name + ".dev";
    if (!MakeDirectories(dir)) {
        error = "cannot create the device record directory " + dir + ": " + std::strerror(errno);
        return false;
    }
    auto record = std::make_unique<LReplacementFile>(path);
    const bool hid = !info.socket.empty();
    char text[4096];
    std::snprintf(text, sizeof text,
                  "kind=%s\nvendor=0x%04x\nproduct=0x%04x\nvendor_name=%s\nproduct_name=%s\n"
                  "serial=%s\nlocation=0x%08x\nsession=%llu\n%s=%s\n",
                  hid ? "hid" : "serial", info.vendor, info.product, info.vendorName.c_str(),
                  info.productName.c_str(), info.serial.c_str(), info.location,
                  static_cast<unsigned long long>(info.session), hid ? "socket" : "tty",
                  hid ? info.socket.c_str() : info.tty.c_str());
    // Locked before it is visible under its name, and kept open (locked) until Remove.
    if (!record->Create() || flock(record->Descriptor(), LOCK_EX) != 0 || !record->Write(text) ||
        !record->Commit(0644)) {
        error = "cannot publish " + path + ": " + std::strerror(errno);
        return false;
    }
    mPath = path;
    mRecord = std::move(record);
    return true;
}

void SimRecord::Remove() {
    if (!mPath.empty()) unlink(mPath.c_str());
    mRecord.reset();
    mPath.clear();
}
