#include "CKdUsbDevice.h"

#include "LMutexLock.h"
#include "LSerialPort.h"

CKdUsbDevice::CKdUsbDevice(int64_t sessionID, const _SDeviceInfo& info, const char* bsdPath)
    : LIOUsbDevice(sessionID, info), mBsdPath(bsdPath) {}

LString CKdUsbDevice::BsdPathOf(const LIOService& service) {
    if (service.StringValue(kIOSerialNumberKey).Length() == 0) return LString();
    return service.StringValue(kIOTtyPathKey);
}

LString CKdUsbDevice::BsdPath() {
    LMutexLock lock(&mPathMutex);
    return mBsdPath;
}

void CKdUsbDevice::SerialNodeAdded(const char* node) {
    LMutexLock lock(&mPathMutex);
    if (mBsdPath.Length() == 0 && mInfo.serialNumber.Length() > 0) mBsdPath = node;
}

LStream* CKdUsbDevice::CreateStream() {
    const LString path = BsdPath();
    if (path.Length() == 0) return nullptr;
    auto* port = new LSerialPort(path);
    port->SetSpeed(kLinkSpeed);
    if (port->Open()) return port;
    port->ReleaseObject();
    return nullptr;
}

LStream* CKdUsbDevice::DeviceStream() {
    LMutexLock lock(&mMutex);
    return mLent ? nullptr : DeviceStreamLocked();
}

LStream* CKdUsbDevice::DeviceStreamLocked() {
    if (!mStream) {
        LStream* created = CreateStream();
        if (!created) return nullptr;
        mStream = created;
        created->ReleaseObject(); // the held pointer takes over the creator's reference
    }
    if (!mStream->IsOpened()) mStream->Open();
    return mStream->IsOpened() ? mStream.Get() : nullptr;
}

CKdPrmManager* CKdUsbDevice::PrmManager() {
    LMutexLock lock(&mMutex);
    if (mLent) return nullptr;
    if (!mPrmManager) {
        if (LStream* stream = DeviceStreamLocked()) {
            auto* session = new CKdPrmManager;
            mPrmManager = session;
            session->ReleaseObject();
            session->SetDeviceStream(stream);
        }
    }
    return mPrmManager && mPrmManager->IsOnline() ? mPrmManager.Get() : nullptr;
}

void CKdUsbDevice::CloseDevice() {
    LMutexLock lock(&mMutex);
    if (mStream) mStream->Close();
    mStream = nullptr;
    mPrmManager = nullptr;
    mLent = false;
}

void CKdUsbDevice::RestoreDeviceStream() {
    LMutexLock lock(&mMutex);
    if (!mLent && mPrmManager && !mPrmManager->IsOnline())
        mPrmManager->SetDeviceStream(DeviceStreamLocked());
}

LStream* CKdUsbDevice::LendStream() {
    LMutexLock lock(&mMutex);
    if (mLent) return nullptr;
    LStream* stream = DeviceStreamLocked();
    if (!stream) return nullptr;
    if (mPrmManager) mPrmManager->SetDeviceStream(nullptr);
    mLent = true;
    return stream;
}

void CKdUsbDevice::ReturnStream() {
    {
        LMutexLock lock(&mMutex);
        mLent = false;
    }
    RestoreDeviceStream();
}
