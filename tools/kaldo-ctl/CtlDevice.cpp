#include "CtlDevice.h"

#include "CKdUpdaterUSB.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlStatus.h"
#include "CtlTraceStream.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

constexpr int kBusyPollMs = 200;

// The programs (name and pid) that hold path open, as far as /proc shows them.
std::string Holders(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return "";
    std::string holders;
    DIR* proc = opendir("/proc");
    if (!proc) return "";
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0 || pid == getpid()) continue;
        const std::string fdDir = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        bool holds = false;
        while (const dirent* fd = readdir(fds)) {
            char target[PATH_MAX];
            const ssize_t n =
                readlink((fdDir + "/" + fd->d_name).c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, static_cast<size_t>(n)) == resolved) holds = true;
        }
        closedir(fds);
        if (!holds) continue;
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (!holders.empty()) holders += ", ";
        holders += name + " (pid " + std::to_string(pid) + ")";
    }
    closedir(proc);
    return holders;
}

} // namespace

CtlDevice::CtlDevice() {
    mNotification.SetRunLoop(&mRunLoop);
}

CtlDevice::~CtlDevice() = default;

void CtlDevice::Start(const std::string& manualPath) {
    // A node given by path is opened as it is: nothing else is looked at.
    if (!manualPath.empty()) {
        mManualSession = mNotification.AddManualDevice(manualPath.c_str());
        return;
    }
    // Without udev events the present devices and the record directory still count.
    mNotification.StartNotification();
}

LString CtlDevice::Serials() const {
    LString serials;
    for (int i = 0; i < mNotification.Count(); ++i) {
        if (i) serials += ", ";
        serials += mNotification.ObjectAtIndex(i)->mInfo.serialNumber;
    }
    return serials;
}

std::vector<CtlDevice::_SEntry> CtlDevice::Entries() const {
    std::vector<_SEntry> entries;
    for (int i = 0; i < mNotification.Count(); ++i) {
        CKdUsbDevice* device = mNotification.DeviceAtIndex(i);
        entries.push_back({device->mInfo.serialNumber.CString(),
                           device->mInfo.productName.CString(), device->mInfo.locationID,
                           static_cast<uint64_t>(device->mSessionID), device->BsdPath().CString(),
                           CKdUpdaterUSB::IsInBootloader(device)});
    }
    return entries;
}

int CtlDevice::Choose(const std::string& serial) {
    if (mManualSession) {
        mDevice = mNotification.DeviceWithSessionID(mManualSession);
    } else if (!serial.empty()) {
        mDevice = mNotification.DeviceWithSerial(serial.c_str());
        if (!mDevice)
            return CtlStatus::Fail(CtlStatus::kNoDevice,
                                   "no KALDO-1 with serial number %s (found: %s)", serial.c_str(),
                                   mNotification.Count() ? Serials().CString() : "none");
    } else if (mNotification.Count() > 1) {
        return CtlStatus::Fail(CtlStatus::kNoDevice,
                               "%d KALDO-1 found (%s); choose one with --serial",
                               mNotification.Count(), Serials().CString());
    } else {
        mDevice = mNotification.ObjectAtIndex(0);
    }
    if (!mDevice) return CtlStatus::Fail(CtlStatus::kNoDevice, "no KALDO-1 found");
    return CtlStatus::kOK;
}

LString CtlDevice::ProductName() const {
    return mDevice ? mDevice->mInfo.productName : LString();
}

int CtlDevice::OpenFailure(const char* serial, const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0)
        return CtlStatus::Fail(CtlStatus::kNoDevice, "%s: %s does not exist (unplugged?)", serial,
                               path.empty() ? "the serial node" : path.c_str());
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM))
        return CtlStatus::Fail(
            CtlStatus::kPermission,
            "permission denied on %s; install the udev rule 70-kaldo.rules (cmake --install puts "
            "it into /usr/lib/udev/rules.d; then run 'udevadm control --reload' and plug the "
            "switcher in again) or open it as a member of the group that owns it",
            path.c_str());
    bool busy = fd < 0 && errno == EBUSY;
    if (fd >= 0) {
        const bool terminal = isatty(fd);
        busy = terminal && flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        if (!terminal)
            return CtlStatus::Fail(CtlStatus::kNoDevice, "%s is not a terminal, so not a switcher",
                                   path.c_str());
    } else if (!busy) {
        return CtlStatus::Fail(CtlStatus::kNoDevice, "cannot open %s: %s", path.c_str(),
                               std::strerror(errno));
    }
    const std::string holders = Holders(path);
    return CtlStatus::Fail(CtlStatus::kBusy, "%s is in use by %s%s", path.c_str(),
                           holders.empty() ? "another program" : holders.c_str(),
                           busy ? "; --wait-busy SECONDS waits for it" : "");
}

int CtlDevice::Open(CtlSession& session, bool trace, int waitBusyMs) {
    const char* serial = mDevice->mInfo.serialNumber;
    LObjPtr_<LStream> stream = mDevice->CreateStream();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitBusyMs);
    while (!stream && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
        stream = mDevice->CreateStream();
    }
    CKdUsbDevice* usb = dynamic_cast<CKdUsbDevice*>(mDevice.Get());
    if (!stream) return OpenFailure(serial, usb ? usb->BsdPath().CString() : "");
    stream->ReleaseObject(); // the pointer holds the creator's reference now
    if (trace) {
        stream = new CtlTraceStream(stream, stderr);
        stream->ReleaseObject();
    }
    switch (session.Connect(stream)) {
    case CtlStatus::kOK:
        return CtlStatus::kOK;
    case CtlStatus::kRefused:
        return CtlStatus::kRefused; // already printed
    default:
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "no answer from %s to %d version requests",
                               serial, CtlSession::kConnectAttempts);
    }
}

template <class Done>
bool CtlDevice::RunUntil(int waitMs, Done done) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) return false;
        mRunLoop.RunOnce(static_cast<int>(left.count()));
    }
    return true;
}

int CtlDevice::Reboot(CtlSession& session, int waitMs, CtlOutput& out) {
    const LString serial = mDevice->mInfo.serialNumber;
    const int64_t before = mDevice->mSessionID;
    const int refusals = session.RefusalCount();
    // The switcher may restart before it answers; only a refusal stops here.
    const int sent = session.SendCmdPacket(session.MakeCmdPacket(CKdCmdPacket::kCmdReboot),
                                           CKdPrmManager::kRequestWaitMs);
    if (sent == CKdPrmManager::kSendFailed)
        return CtlStatus::Fail(CtlStatus::kOther, "cannot send the reboot command to %s",
                               serial.CString());
    if (session.RefusalCount() != refusals) return CtlStatus::kRefused; // already printed
    if (LStream* stream = session.DeviceStream()) stream->Close();
    session.SetDeviceStream(nullptr);
    out.Line(std::string(serial.CString()) + " is rebooting");
    const CtlOutput::Json rebooting = {{"serial", serial.CString()}, {"back", false}};
    if (waitMs == 0) {
        out.Record(rebooting, "");
        return CtlStatus::kOK;
    }
    if (mManualSession) {
        CtlStatus::Note("a serial node given with --device is not watched; not waiting");
        out.Record(rebooting, "");
        return CtlStatus::kOK;
    }

    if (!RunUntil(waitMs, [&] { return bool(mDevice->mRemoved); }))
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "%s did not leave within %d ms",
                               serial.CString(), waitMs);
    LIOUsbDevice* back = nullptr;
    const bool returned = RunUntil(waitMs, [&] {
        back = mNotification.DeviceWithSerial(serial);
        return back && back->mSessionID != before;
    });
    if (!returned)
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "%s did not come back within %d ms",
                               serial.CString(), waitMs);
    char sessionText[24];
    std::snprintf(sessionText, sizeof sessionText, "0x%016" PRIx64,
                  static_cast<uint64_t>(back->mSessionID));
    out.Record({{"serial", serial.CString()}, {"back", true}, {"session", sessionText}},
               std::string(serial.CString()) + " is back as a new attachment (session " +
                   sessionText + ")");
    mDevice = back;
    return CtlStatus::kOK;
}

int CtlDevice::LinkFailure() {
    CKdUsbDevice* usb = Chosen();
    return OpenFailure(mDevice->mInfo.serialNumber, usb ? usb->BsdPath().CString() : "");
}

bool CtlDevice::AwaitAttachment(const char* serial, int64_t notSession, int waitMs) {
    // The bootloader reports the switcher's identity too; only a serial node counts.
    return RunUntil(waitMs, [&] {
        for (int i = 0; i < mNotification.Count(); ++i) {
            CKdUsbDevice* device = mNotification.DeviceAtIndex(i);
            if (device->mInfo.serialNumber == serial && device->mSessionID != notSession &&
                device->BsdPath().Length() > 0)
                return true;
        }
        return false;
    });
}
