#include "CtlDevice.h"

#include "CtlSession.h"
#include "CtlStatus.h"
#include "CtlTraceStream.h"

#include <chrono>
#include <cinttypes>

CtlDevice::CtlDevice() {
    mNotification.SetRunLoop(&mRunLoop);
}

CtlDevice::~CtlDevice() = default;

void CtlDevice::Start(const std::string& manualPath) {
    // Without udev events the present devices and the record directory still count.
    mNotification.StartNotification();
    if (!manualPath.empty()) mManualSession = mNotification.AddManualDevice(manualPath.c_str());
}

LString CtlDevice::Serials() const {
    LString serials;
    for (int i = 0; i < mNotification.Count(); ++i) {
        if (i) serials += ", ";
        serials += mNotification.ObjectAtIndex(i)->mInfo.serialNumber;
    }
    return serials;
}

int CtlDevice::PrintList(FILE* out) {
    if (mNotification.Count() == 0)
        return CtlStatus::Fail(CtlStatus::kNoDevice, "no KALDO-1 found");
    std::fprintf(out, "%-12s %-10s %-10s %-18s %s\n", "SERIAL", "PRODUCT", "LOCATION", "SESSION",
                 "PATH");
    for (int i = 0; i < mNotification.Count(); ++i) {
        CKdUsbDevice* device = mNotification.DeviceAtIndex(i);
        std::fprintf(out, "%-12s %-10s 0x%08x 0x%016" PRIx64 " %s\n",
                     device->mInfo.serialNumber.CString(), device->mInfo.productName.CString(),
                     device->mInfo.locationID, static_cast<uint64_t>(device->mSessionID),
                     device->BsdPath().CString());
    }
    return CtlStatus::kOK;
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

int CtlDevice::Open(CtlSession& session, bool trace) {
    const char* serial = mDevice->mInfo.serialNumber;
    LObjPtr_<LStream> stream = mDevice->CreateStream();
    if (!stream)
        return CtlStatus::Fail(CtlStatus::kNoDevice,
                               "cannot open the serial node of %s (gone, or in use by another "
                               "program)",
                               serial);
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

int CtlDevice::Reboot(CtlSession& session, int waitMs) {
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
    std::printf("%s is rebooting\n", serial.CString());
    if (waitMs == 0) return CtlStatus::kOK;
    if (mManualSession) {
        CtlStatus::Note("a serial node given with --device is not watched; not waiting");
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
    std::printf("%s is back as a new attachment (session 0x%016" PRIx64 ")\n", serial.CString(),
                static_cast<uint64_t>(back->mSessionID));
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
