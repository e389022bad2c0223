#include "LIOHIDDevice.h"

#include "LHidRawTransport.h"
#include "LHidSocketTransport.h"
#include "LIOHIDManager.h"

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {
// HID property keys and the registry keys they read.
constexpr const char* kPropertyKeys[][2] = {
    {kIOHIDVendorIDKey, kIOVendorIDKey},     {kIOHIDProductIDKey, kIOProductIDKey},
    {kIOHIDLocationIDKey, kIOLocationIDKey}, {kIOHIDSerialNumberKey, kIOSerialNumberKey},
    {kIOHIDProductKey, kIOProductNameKey},   {kIOHIDManufacturerKey, kIOVendorNameKey},
};

const char* RegistryKey(const char* key) {
    for (const auto& [property, registry] : kPropertyKeys)
        if (key && strcmp(key, property) == 0) return registry;
    return nullptr;
}
} // namespace

// Shared by the device and its run-loop source. The device may be opened and closed on another
// thread than the loop's (the firmware update does), so the source is added and removed by calls
// posted to the loop, and a source that fires after Close finds no device and does nothing.
struct LIOHIDDevice::_SInputLink {
    std::recursive_mutex mutex;
    LIOHIDDevice* device = nullptr; // null once the device closed
    LRunLoop* runLoop = nullptr;
    int sourceId = 0;

    void Deliver() {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        if (device && !device->ReceiveInputReport()) RemoveSource();
    }
    void RemoveSource() {
        if (sourceId) runLoop->RemoveSource(sourceId);
        sourceId = 0;
    }
};

LIOHIDDevice::LIOHIDDevice(LIOHIDManager* manager, const _SDeviceRef& device)
    : mManager(manager), mDevice(device) {}

LIOHIDDevice::~LIOHIDDevice() {
    LIOHIDDevice::Close();
}

long LIOHIDDevice::IntProperty(const char* key, long defaultValue) const {
    return mDevice.service.Int64Value(RegistryKey(key), defaultValue);
}

LString LIOHIDDevice::StringProperty(const char* key) const {
    return mDevice.service.StringValue(RegistryKey(key));
}

bool LIOHIDDevice::Open() {
    Close();
    if (mDevice.transport == _SDeviceRef::kSocket)
        mTransport = std::make_unique<LHidSocketTransport>(mDevice.path);
    else
        mTransport = std::make_unique<LHidRawTransport>(mDevice.path);
    if (!RunLoop() || !mPipe.Open() || !mTransport->Open(mOptions & kOptionsSeizeDevice) ||
        !ScheduleWithRunLoop()) {
        Close();
        return false;
    }
    return true;
}

void LIOHIDDevice::Close() {
    UnscheduleFromRunLoop();
    mTransport.reset();
    mPipe.Close();
}

ssize_t LIOHIDDevice::Write(const void* bytes, unsigned long length) {
    if (!IsOpened() || !mTransport->WriteReport(bytes, length)) return 0;
    return static_cast<ssize_t>(length);
}

bool LIOHIDDevice::ScheduleWithRunLoop() {
    LRunLoop* runLoop = RunLoop();
    if (!runLoop || !mTransport || mTransport->Descriptor() < 0) return false;
    UnscheduleFromRunLoop();
    auto link = std::make_shared<_SInputLink>();
    link->device = this;
    link->runLoop = runLoop;
    mInputLink = link;
    int fd = mTransport->Descriptor();
    runLoop->Post([link, fd] {
        std::lock_guard<std::recursive_mutex> lock(link->mutex);
        if (link->device)
            link->sourceId = link->runLoop->AddSource(fd, [link] { link->Deliver(); });
    });
    return true;
}

void LIOHIDDevice::UnscheduleFromRunLoop() {
    if (!mInputLink) return;
    auto link = std::move(mInputLink);
    {
        // Waits for a delivery in progress; afterwards none touches this device.
        std::lock_guard<std::recursive_mutex> lock(link->mutex);
        link->device = nullptr;
    }
    link->runLoop->Post([link] {
        std::lock_guard<std::recursive_mutex> lock(link->mutex);
        link->RemoveSource();
    });
}

bool LIOHIDDevice::ReceiveInputReport() {
    uint8_t report[kReportBufferSize];
    ssize_t length = mTransport->ReadReport(report, sizeof report);
    int error = length < 0 ? errno : 0;
    if (error == EAGAIN || error == EINTR) return true;
    HandleInputReport(error, report, length < 0 ? 0 : length);
    return error == 0 || error == EMSGSIZE;
}

void LIOHIDDevice::HandleInputReport(int result, const uint8_t* report, long length) {
    if (result != 0 || !report || length <= 0) return;
    mPipe.Write(report, static_cast<unsigned long>(length));
}
