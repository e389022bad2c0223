#include "CtlDevice.h"

#include "CKdUpdaterUSB.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlStatus.h"
#include "CtlTraceStream.h"
#include "LSerialPort.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
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

// "name (pid N)" of a process.
std::string Process(const std::string& pid) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name + " (pid " + pid + ")";
}

// The processes that hold the lock (flock) on the node, from /proc/locks:
// "1: FLOCK  ADVISORY  WRITE 4711 00:18:6 0 EOF", the device as hexadecimal major:minor.
std::vector<std::string> LockHolders(const struct stat& node) {
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(node.st_dev), minor(node.st_dev),
                  static_cast<unsigned long long>(node.st_ino));
    std::vector<std::string> holders;
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, type, advisory, mode, pid, where;
        fields >> number >> type >> advisory >> mode >> pid >> where;
        if (type == "FLOCK" && where == file && pid != std::to_string(getpid()))
            holders.push_back(Process(pid));
    }
    return holders;
}

// Whether a descriptor of pid is the master side of pseudo-terminal number index (fdinfo has
// "tty-index:" for /dev/ptmx).
bool HoldsMaster(const std::string& pid, const std::string& fd, unsigned index) {
    std::ifstream info("/proc/" + pid + "/fdinfo/" + fd);
    for (std::string line; std::getline(info, line);)
        if (line.rfind("tty-index:", 0) == 0) return std::stoul(line.substr(10)) == index;
    return false;
}

// The programs (name and pid) that hold path, as far as /proc shows them: the holder of its
// lock, else those with it open. The other side of a pseudo-terminal (kaldo-sim, which keeps a
// descriptor of the node open too) does not count.
std::string Holders(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat node {};
    if (!realpath(path.c_str(), resolved) || stat(resolved, &node) != 0) return "";
    std::vector<std::string> holders = LockHolders(node);
    unsigned ptyIndex = 0;
    const bool pty = std::sscanf(resolved, "/dev/pts/%u", &ptyIndex) == 1;
    DIR* proc = holders.empty() ? opendir("/proc") : nullptr;
    while (const dirent* entry = proc ? readdir(proc) : nullptr) {
        const std::string pid = entry->d_name;
        if (std::atoi(pid.c_str()) <= 0 || pid == std::to_string(getpid())) continue;
        const std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        bool holds = false, master = false;
        while (const dirent* fd = readdir(fds)) {
            char target[PATH_MAX];
            const ssize_t n =
                readlink((fdDir + "/" + fd->d_name).c_str(), target, sizeof target - 1);
            const std::string name(target, static_cast<size_t>(std::max<ssize_t>(n, 0)));
            holds = holds || name == resolved;
            master =
                master || (pty && name == "/dev/ptmx" && HoldsMaster(pid, fd->d_name, ptyIndex));
        }
        closedir(fds);
        if (holds && !master) holders.push_back(Process(pid));
    }
    if (proc) closedir(proc);
    std::string text;
    for (const std::string& holder : holders)
        text += (text.empty() ? "" : ", ") + holder;
    return text;
}

// How the node opens for a look: the error of open (0 when it opened), whether it is a terminal
// and whether another program holds it.
struct _SProbe {
    int mError = 0;
    bool mTerminal = false;
    bool mBusy = false;
};
_SProbe Probe(const std::string& path) {
    _SProbe probe;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
        LSerialPort::NodeKind(info) != LSerialPort::ENodeKind::Accepted) {
        probe.mError = ENOTTY; // never opened, as the serial port would not
        return probe;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        probe.mError = errno;
        probe.mBusy = errno == EBUSY;
        return probe;
    }
    probe.mTerminal = isatty(fd);
    probe.mBusy = probe.mTerminal && flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return probe;
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
                           Printable(device->BsdPath().CString()),
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
    const _SProbe probe = Probe(path);
    if (probe.mError == EACCES || probe.mError == EPERM)
        return CtlStatus::Fail(
            CtlStatus::kPermission,
            "permission denied on %s; install the udev rule 70-kaldo.rules (cmake --install puts "
            "it into /usr/lib/udev/rules.d; then run 'udevadm control --reload' and plug the "
            "switcher in again) or open it as a member of the group that owns it",
            shown.c_str());
    if (probe.mError && !probe.mBusy)
        return CtlStatus::Fail(CtlStatus::kNoDevice, "cannot open %s: %s", shown.c_str(),
                               std::strerror(probe.mError));
    if (!probe.mError && !probe.mTerminal)
        return CtlStatus::Fail(CtlStatus::kNoDevice, "%s is not a terminal, so not a switcher",
                               shown.c_str());
    const std::string holders = Holders(path);
    const bool utility = holders.find("kaldo-utility (") != std::string::npos;
    return CtlStatus::Fail(CtlStatus::kBusy,
                           "%s is in use by %s; to free it, %s, or add --wait-busy SECONDS to "
                           "wait for it",
                           shown.c_str(), holders.empty() ? "another program" : holders.c_str(),
                           utility ? "close the utility's window or use its Disconnect"
                                   : "end that program");
}

int CtlDevice::Open(CtlSession& session, bool trace, int waitBusyMs,
                    const volatile std::sig_atomic_t* stop) {
    const std::string serial = Printable(mDevice->mInfo.serialNumber.CString());
    CKdUsbDevice* usb = dynamic_cast<CKdUsbDevice*>(mDevice.Get());
    const std::string path = usb ? usb->BsdPath().CString() : "";
    LObjPtr_<LStream> stream = mDevice->CreateStream();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitBusyMs);
    for (bool noted = false; !stream && !(stop && *stop); stream = mDevice->CreateStream()) {
        if (waitBusyMs >= 0 && std::chrono::steady_clock::now() >= end) break;
        if (waitBusyMs < 0 && !Probe(path).mBusy) break; // waits only while another holds it
        if (waitBusyMs < 0 && !noted) {
            const std::string holders = Holders(path);
            CtlStatus::Note("%s is in use by %s; waiting for it to be free",
                            Printable(path).c_str(),
                            holders.empty() ? "another program" : holders.c_str());
            noted = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kBusyPollMs));
    }
    if (!stream && stop && *stop) return CtlStatus::kBusy; // interrupted: nothing to print
    if (!stream) return OpenFailure(serial.c_str(), path);
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

int CtlDevice::LinkFailure() {
    CKdUsbDevice* usb = Chosen();
    return OpenFailure(Printable(mDevice->mInfo.serialNumber.CString()).c_str(),
                       usb ? usb->BsdPath().CString() : "");
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
