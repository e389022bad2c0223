#include "CtlDevice.h"

#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlStatus.h"
#include "CtlTraceStream.h"
#include "LSerialPort.h"

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

// A text from a device or record as it may be printed: control characters (C0, DEL, C1), a
// backslash and bytes that are not UTF-8 become \xNN, so nothing reaches a terminal as a
// command.
std::string Printable(const std::string& text) {
    std::string printable;
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const size_t length = byte < 0x80           ? 1
                              : (byte >> 5) == 0x6  ? 2
                              : (byte >> 4) == 0xE  ? 3
                              : (byte >> 3) == 0x1E ? 4
                                                    : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        const bool c1 = byte == 0xC2 && valid && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (valid && !c1 && byte >= 0x20 && byte != 0x7F && byte != '\\') {
            printable.append(text, i, length);
            i += length;
            continue;
        }
        const size_t escaped = c1 ? 2 : 1;
        for (size_t k = 0; k < escaped; ++k) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(text[i + k]));
            printable += code;
        }
        i += escaped;
    }
    return printable;
}

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

int CtlDevice::Start(const std::string& manualPath) {
    // A node given by path is opened as it is: nothing else is looked at.
    if (!manualPath.empty()) {
        mManualSession = mNotification.AddManualDevice(manualPath.c_str());
        return CtlStatus::kOK;
    }
    // Without udev events the present devices and the record directory still count.
    mNotification.StartNotification();
    const std::string& failure = mNotification.RecordDirectory().Failure();
    if (!failure.empty())
        return CtlStatus::Fail(CtlStatus::kOther, "%s", Printable(failure).c_str());
    return CtlStatus::kOK;
}

LString CtlDevice::Serials() const {
    LString serials;
    for (int i = 0; i < mNotification.Count(); ++i) {
        if (i) serials += ", ";
        serials += Printable(mNotification.ObjectAtIndex(i)->mInfo.serialNumber.CString()).c_str();
    }
    return serials;
}

std::vector<CtlDevice::_SEntry> CtlDevice::Entries() const {
    std::vector<_SEntry> entries;
    for (int i = 0; i < mNotification.Count(); ++i) {
        CKdUsbDevice* device = mNotification.DeviceAtIndex(i);
        entries.push_back({Printable(device->mInfo.serialNumber.CString()),
                           Printable(device->mInfo.productName.CString()), device->mInfo.locationID,
                           static_cast<uint64_t>(device->mSessionID),
                           Printable(device->BsdPath().CString())});
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
    return mDevice ? LString(Printable(mDevice->mInfo.productName.CString()).c_str()) : LString();
}

int CtlDevice::OpenFailure(const char* serial, const std::string& path) {
    const std::string shown = Printable(path);
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0)
        return CtlStatus::Fail(CtlStatus::kNoDevice, "%s: %s does not exist (unplugged?)", serial,
                               path.empty() ? "the serial node" : shown.c_str());
    // Character devices are judged unopened, as the serial port does.
    const LSerialPort::ENodeKind kind = LSerialPort::NodeKind(info);
    if (S_ISCHR(info.st_mode) && kind != LSerialPort::ENodeKind::Accepted)
        return CtlStatus::Fail(CtlStatus::kNoDevice, "%s %s", shown.c_str(),
                               kind == LSerialPort::ENodeKind::OwnTerminal
                                   ? "is this program's own terminal, not a switcher"
                                   : "is not a terminal a switcher is reached on (a "
                                     "pseudo-terminal or a USB serial node)");
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM))
        return CtlStatus::Fail(
            CtlStatus::kPermission,
            "permission denied on %s; install the udev rule 70-kaldo.rules (cmake --install puts "
            "it into /usr/lib/udev/rules.d; then run 'udevadm control --reload' and plug the "
            "switcher in again) or open it as a member of the group that owns it",
            shown.c_str());
    bool busy = fd < 0 && errno == EBUSY;
    if (fd >= 0) {
        const bool terminal = isatty(fd);
        busy = terminal && flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        if (!terminal)
            return CtlStatus::Fail(CtlStatus::kNoDevice, "%s is not a terminal, so not a switcher",
                                   shown.c_str());
    } else if (!busy) {
        return CtlStatus::Fail(CtlStatus::kNoDevice, "cannot open %s: %s", shown.c_str(),
                               std::strerror(errno));
    }
    const std::string holders = Holders(path);
    return CtlStatus::Fail(CtlStatus::kBusy, "%s is in use by %s%s", shown.c_str(),
                           holders.empty() ? "another program" : holders.c_str(),
                           busy ? "; --wait-busy SECONDS waits for it" : "");
}

int CtlDevice::Open(CtlSession& session, bool trace, int waitBusyMs) {
    const std::string serial = Printable(mDevice->mInfo.serialNumber.CString());
    LObjPtr_<LStream> stream = mDevice->CreateStream();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitBusyMs);
    while (!stream && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
        stream = mDevice->CreateStream();
    }
    CKdUsbDevice* usb = dynamic_cast<CKdUsbDevice*>(mDevice.Get());
    if (!stream) return OpenFailure(serial.c_str(), usb ? usb->BsdPath().CString() : "");
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
                               serial.c_str(), CtlSession::kConnectAttempts);
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
    const std::string shown = Printable(serial.CString());
    const int64_t before = mDevice->mSessionID;
    const int refusals = session.RefusalCount();
    // The switcher may restart before it answers; only a refusal stops here.
    const int sent = session.SendCmdPacket(session.MakeCmdPacket(CKdCmdPacket::kCmdReboot),
                                           CKdPrmManager::kRequestWaitMs);
    if (sent == CKdPrmManager::kSendFailed)
        return CtlStatus::Fail(CtlStatus::kOther, "cannot send the reboot command to %s",
                               shown.c_str());
    if (session.RefusalCount() != refusals) return CtlStatus::kRefused; // already printed
    if (LStream* stream = session.DeviceStream()) stream->Close();
    session.SetDeviceStream(nullptr);
    out.Line(shown + " is rebooting");
    const CtlOutput::Json rebooting = {{"serial", shown}, {"back", false}};
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
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "%s did not leave within %d ms", shown.c_str(),
                               waitMs);
    LIOUsbDevice* back = nullptr;
    const bool returned = RunUntil(waitMs, [&] {
        back = mNotification.DeviceWithSerial(serial);
        return back && back->mSessionID != before;
    });
    if (!returned)
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "%s did not come back within %d ms",
                               shown.c_str(), waitMs);
    char sessionText[24];
    std::snprintf(sessionText, sizeof sessionText, "0x%016" PRIx64,
                  static_cast<uint64_t>(back->mSessionID));
    out.Record({{"serial", shown}, {"back", true}, {"session", sessionText}},
               shown + " is back as a new attachment (session " + sessionText + ")");
    mDevice = back;
    return CtlStatus::kOK;
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
