#include "LIOVirtualDeviceDir.h"

#include "LUdevDevice.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {
constexpr long kMaxRecordSize = 4096;

// Record keys and the registry keys they fill; numbers are converted in ReadRecord.
struct RecordKey {
    const char* record;
    const char* registry;
    int base; // 0: text
};
constexpr RecordKey kRecordKeys[] = {
    {"kind", kIOKindKey, 0},
    {"vendor", kIOVendorIDKey, 16},
    {"product", kIOProductIDKey, 16},
    {"vendor_name", kIOVendorNameKey, 0},
    {"product_name", kIOProductNameKey, 0},
    {"serial", kIOSerialNumberKey, 0},
    {"location", kIOLocationIDKey, 16},
    {"session", kIOSessionIDKey, 10},
    {"tty", kIOTtyPathKey, 0},
    {"socket", kIOSocketPathKey, 0},
};

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// Up to kMaxRecordSize + 1 bytes of a regular file; false for anything else. The open does not
// block (a FIFO would), and a device or link is not opened at all.
bool ReadSmallFile(const char* path, std::string& text, int& descriptor) {
    descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    struct stat info {};
    if (descriptor < 0 || fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    text.resize(kMaxRecordSize + 1);
    size_t length = 0;
    for (ssize_t count; length < text.size() &&
                        (count = read(descriptor, text.data() + length, text.size() - length)) > 0;)
        length += size_t(count);
    text.resize(length);
    return true;
}

// A publisher holds its record locked for as long as it lives. When the lock is free, the
// record is stale: it is deleted when it is this user's, unless the name meanwhile belongs to a
// newer record.
bool IsStale(const char* path, int descriptor) {
    if (flock(descriptor, LOCK_SH | LOCK_NB) != 0) return false;
    struct stat opened {
    }, named{};
    if (fstat(descriptor, &opened) == 0 && lstat(path, &named) == 0 &&
        opened.st_ino == named.st_ino && opened.st_dev == named.st_dev && opened.st_uid == getuid())
        unlink(path);
    return true;
}
} // namespace

LIOVirtualDeviceDir::LIOVirtualDeviceDir(const char* path)
    : mPath(path ? LString(path) : DefaultPath()) {
    const LString base = FallbackBase();
    if (!path && strncmp(mPath, base, base.Length()) == 0 && mPath.CString()[base.Length()] == '/')
        mPrivateBase = base;
}

LIOVirtualDeviceDir::~LIOVirtualDeviceDir() {
    Stop();
}

LString LIOVirtualDeviceDir::DefaultPath() {
    const char* explicitDir = getenv("KALDO_DEVICE_DIR");
    if (explicitDir && *explicitDir) return explicitDir;
    LString path;
    const char* runtimeDir = getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir)
        path.Format("%s/kaldo/devices", runtimeDir);
    else
        path.Format("%s/devices", FallbackBase().CString());
    return path;
}

LString LIOVirtualDeviceDir::FallbackBase() {
    LString base;
    base.Format("/tmp/kaldo-%u", unsigned(getuid()));
    return base;
}

bool LIOVirtualDeviceDir::IsPrivateDirectory(const char* path) {
    struct stat info {};
    return path && lstat(path, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool LIOVirtualDeviceDir::IsTrusted() const {
    return mPrivateBase.Length() == 0 || IsPrivateDirectory(mPrivateBase);
}

bool LIOVirtualDeviceDir::IsRecordName(const char* name) {
    const size_t length = name ? strlen(name) : 0;
    return length > 4 && name[0] != '.' && strcmp(name + length - 4, ".dev") == 0;
}

bool LIOVirtualDeviceDir::ReadRecord(const char* path, LIOService& service) {
    service = LIOService();
    // Reads no more than a record may hold, so a stray large file costs nothing. Only a file
    // that holds a record is looked at further: anything else is not ours and stays as it is.
    std::string text;
    int descriptor = -1;
    const bool read = ReadSmallFile(path, text, descriptor) && ParseRecord(text, service) &&
                      !IsStale(path, descriptor);
    if (descriptor >= 0) close(descriptor);
    if (!read) service = LIOService();
    return read;
}

bool LIOVirtualDeviceDir::ParseRecord(const std::string& text, LIOService& service) {
    service = LIOService();
    if (text.size() > size_t(kMaxRecordSize)) return false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        for (const RecordKey& entry : kRecordKeys) {
            if (key != entry.record) continue;
            if (entry.base == 0) {
                service.SetValue(entry.registry, value.c_str());
            } else {
                const int64_t number = LUdevDevice::ParseInt(value.c_str(), -1, entry.base);
                if (number < 0) return false;
                service.SetValue(entry.registry, number);
            }
        }
    }
    // A device is reached by the path of its kind only.
    const LString kind = service.StringValue(kIOKindKey);
    const bool serial = kind == "serial";
    if (!serial && !(kind == "hid")) return false;
    service.RemoveValue(serial ? kIOSocketPathKey : kIOTtyPathKey);
    if (!service.HasValue(serial ? kIOTtyPathKey : kIOSocketPathKey) ||
        !service.HasValue(kIOVendorIDKey) || !service.HasValue(kIOProductIDKey) ||
        service.Int64Value(kIOSessionIDKey, 0) <= 0)
        return false;
    // Keep virtual sessions apart from udev's and from manual entries'.
    const int64_t session = service.Int64Value(kIOSessionIDKey, 0);
    service.SetValue(kIOSessionIDKey, (session & ~kIOManualSessionBit) | kIOVirtualSessionBit);
    return true;
}

std::vector<std::string> LIOVirtualDeviceDir::RecordNames() const {
    std::vector<std::string> names;
    if (!IsTrusted()) return names;
    if (DIR* dir = opendir(mPath)) {
        while (dirent* entry = readdir(dir))
            if (IsRecordName(entry->d_name)) names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string LIOVirtualDeviceDir::RecordPath(const std::string& name) const {
    return std::string(mPath.CString()) + "/" + name;
}

std::vector<LIOService> LIOVirtualDeviceDir::ReadRecords() const {
    std::vector<LIOService> records;
    for (const std::string& name : RecordNames()) {
        LIOService service;
        if (ReadRecord(RecordPath(name).c_str(), service)) records.push_back(service);
    }
    return records;
}

bool LIOVirtualDeviceDir::Start(LRunLoop* loop, Handler added, Handler removed) {
    Stop();
    mAdded = std::move(added);
    mRemoved = std::move(removed);
    mFailure.clear();
    if (mPrivateBase.Length() > 0) mkdir(mPrivateBase, 0700);
    if (!IsTrusted()) return false;
    if (!MakeDirectories(mPath.CString())) {
        mFailure = "cannot create the device record directory " + std::string(mPath.CString()) +
                   ": " + strerror(errno);
        return false;
    }
    mInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // A publisher that dies closes its record (IN_CLOSE_WRITE), which is then found stale.
    const uint32_t events = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;
    bool watching = mInotify >= 0 && inotify_add_watch(mInotify, mPath, events) >= 0;
    if (watching) {
        mSource = LRunLoopSource(mInotify, [this] { HandleEvents(); });
        watching = mSource.AddRunLoopSource(loop);
    }
    if (!watching) {
        mFailure = "cannot watch the device record directory " + std::string(mPath.CString()) +
                   ": " + strerror(errno);
        Stop();
    }
    // Watching began first, so a record written meanwhile is seen here or by an event.
    Rescan();
    return watching;
}

void LIOVirtualDeviceDir::Stop() {
    mSource.RemoveRunLoopSource();
    if (mInotify >= 0) close(mInotify);
    mInotify = -1;
    mRecords.clear();
}

void LIOVirtualDeviceDir::Rescan() {
    const std::vector<std::string> names = RecordNames();
    std::vector<std::string> gone;
    for (const auto& [name, service] : mRecords)
        if (!std::binary_search(names.begin(), names.end(), name)) gone.push_back(name);
    for (const std::string& name : gone)
        RecordGone(name);
    for (const std::string& name : names)
        RecordWritten(name);
}

void LIOVirtualDeviceDir::HandleEvents() {
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = read(mInotify, buffer, sizeof buffer)) > 0) {
        for (char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                Rescan(); // events were lost: compare with the directory itself
            } else if (event->len > 0 && IsRecordName(event->name)) {
                if (event->mask & (IN_DELETE | IN_MOVED_FROM))
                    RecordGone(event->name);
                else
                    RecordWritten(event->name);
            }
        }
    }
}

void LIOVirtualDeviceDir::RecordWritten(const std::string& name) {
    LIOService service;
    const bool valid = ReadRecord(RecordPath(name).c_str(), service);
    auto known = mRecords.find(name);
    if (known != mRecords.end()) {
        const int64_t session = service.Int64Value(kIOSessionIDKey, 0);
        if (valid && known->second.Int64Value(kIOSessionIDKey, 0) == session) {
            known->second = service;
            return;
        }
        RecordGone(name); // replaced by another device, or no longer a valid record
    }
    if (!valid) return;
    mRecords[name] = service;
    if (mAdded) mAdded(service);
}

void LIOVirtualDeviceDir::RecordGone(const std::string& name) {
    auto known = mRecords.find(name);
    if (known == mRecords.end()) return;
    const LIOService service = known->second;
    mRecords.erase(known);
    if (mRemoved) mRemoved(service);
}
