#include "LIONotification.h"

#include "LUdevEnumerate.h"

#include <atomic>

namespace {
constexpr char kUsbSubsystem[] = "usb";
constexpr char kUsbDeviceType[] = "usb_device";
constexpr char kTtySubsystem[] = "tty";

std::vector<LIOService> UdevServices(const LUdev& context, const LIOService& matching) {
    LUdevEnumerate enumerate(context);
    enumerate.MatchSubsystem(kUsbSubsystem);
    std::vector<LIOService> services;
    for (const LUdevDevice& device : enumerate.ScanDevices()) {
        if (!(device.Devtype() == kUsbDeviceType)) continue;
        LIOService service = LIOService::FromUdevDevice(device);
        if (service.Matches(matching)) services.push_back(service);
    }
    return services;
}
} // namespace

LIONotification::LIONotification(const LIOService& matching) : mMatching(matching) {}

LIONotification::~LIONotification() {
    mRecords.Stop();
    mRunLoopSource.RemoveRunLoopSource();
}

bool LIONotification::SetMatchingInfo(const LIOService& matching) {
    mMatching = matching;
    // Watch first, then enumerate: a device arriving in between is seen at least once, and
    // ServiceAppeared drops the second report.
    if (!mUdev) mUdev = LUdev::Create();
    mMonitor = LUdevMonitor::FromNetlink(mUdev);
    const bool watching =
        mMonitor.AddMatch(kUsbSubsystem, kUsbDeviceType) && mMonitor.AddMatch(kTtySubsystem) &&
        mMonitor.EnableReceiving() &&
        AddRunLoopSource(LRunLoopSource(mMonitor.Descriptor(), [this] { ReceiveUdevEvents(); }));
    for (const LIOService& service : UdevServices(mUdev, mMatching))
        ServiceAppeared(service);
    mRecords.Start(
        mRunLoop, [this](const LIOService& service) { ServiceAppeared(service); },
        [this](const LIOService& service) { ServiceVanished(service); });
    return watching;
}

int64_t LIONotification::AddManualDevice(const char* path) {
    static std::atomic<int64_t> lastManual{0};
    if (!path || !*path || mMatching.IsEmpty()) return 0;
    LIOService service = mMatching;
    const int64_t session = kIOVirtualSessionBit | kIOManualSessionBit | ++lastManual;
    service.SetValue(kIOSessionIDKey, session);
    service.SetValue(kIOSerialNumberKey, path);
    service.SetValue(kIOTtyPathKey, path);
    ServiceAppeared(service);
    return session;
}

bool LIONotification::AddRunLoopSource(const LRunLoopSource& source) {
    mRunLoopSource = source;
    return mRunLoopSource.AddRunLoopSource(mRunLoop);
}

void LIONotification::RawDeviceAdded(const LIOService& service) {
    if (mDelegate) mDelegate->RawDeviceAdded(this, service, nullptr);
}

void LIONotification::RawDeviceRemoved(const LIOService& service) {
    if (mDelegate) mDelegate->RawDeviceRemoved(this, service, nullptr);
}

void LIONotification::ServiceAppeared(const LIOService& service) {
    const int64_t session = service.Int64Value(kIOSessionIDKey, 0);
    if (session == 0 || !service.Matches(mMatching)) return;
    if (!mPresent.insert(session).second) return;
    RawDeviceAdded(service);
}

void LIONotification::ServiceVanished(const LIOService& service) {
    if (mPresent.erase(service.Int64Value(kIOSessionIDKey, 0)) == 0) return;
    RawDeviceRemoved(service);
}

void LIONotification::ReceiveUdevEvents() {
    while (LUdevDevice device = mMonitor.ReceiveDevice()) {
        const LString action = device.Action();
        if (!(device.Devtype() == kUsbDeviceType)) {
            if (action == "add") TtyAppeared(device);
        } else if (action == "add")
            ServiceAppeared(LIOService::FromUdevDevice(device));
        else if (action == "remove")
            ServiceVanished(LIOService::FromUdevDevice(device));
    }
}

void LIONotification::TtyAppeared(const LUdevDevice& tty) {
    const LString node = tty.Devnode();
    if (node.Length() == 0) return;
    const int64_t session =
        LIOService::UdevSessionID(tty.ParentWithSubsystem(kUsbSubsystem, kUsbDeviceType));
    if (session != 0 && mPresent.count(session)) SerialNodeAdded(session, node);
}
