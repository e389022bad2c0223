#include "CKdUpdaterUSB.h"

#include "Btldr_Bootload.h"
#include "CKdFirmwareFile.h"
#include "KdUsbIdentity.h"
#include "LFile.h"
#include "LIOHIDManager.h"

#include <fcntl.h>

#include <chrono>
#include <cstring>
#include <thread>

std::atomic<CKdUpdaterUSB*> CKdUpdaterUSB::sUpdater{nullptr};

namespace {
constexpr unsigned kMaxTransferSize = 64; // one HID report
} // namespace

CKdUpdaterUSB::CKdUpdaterUSB(const char* filePath, CKdUsbDevice* device)
    : CKdUpdaterUSB(filePath, device, _SWaits()) {}

CKdUpdaterUSB::CKdUpdaterUSB(const char* filePath, CKdUsbDevice* device, const _SWaits& waits)
    : CKdUpdater(filePath), mDevice(device), mWaits(waits) {
    if (device) mDeviceInfo = device->mInfo;
}

CKdUpdaterUSB::~CKdUpdaterUSB() = default;

int CKdUpdaterUSB::ExecUpdate() {
    Notification(kNotifyBegin, 0);
    const CKdFirmwareFile::_SResult file =
        CKdFirmwareFile::Check(FilePath(), CKdFirmwareFile::kUsbController);
    if (!file.ok) return FileRefused(file.problem);
    mNumOfLines = CalcNumOfLines();
    if (!mDevice) return kResultDeviceError;
    if (!mInBootloader) {
        if (const int result = StartBootloader()) return result;
        LeaveCommandLink();
    }
    LIOHIDDevice* bootloader = FindTargetDevice();
    if (!bootloader) return kResultDeviceError;
    mHIDDevice = bootloader;
    bootloader->ReleaseObject(); // the pointer holds the found reference
    Notification(kNotifyWriting, 0);
    return MapBootloadResult(Bootload());
}

int CKdUpdaterUSB::CalcNumOfLines() const {
    LFile file(FilePath());
    file.SetOpenFlags(O_RDONLY | O_CLOEXEC);
    if (!file.Open()) return 0;
    int lines = 0;
    bool lineStart = true;
    uint8_t block[128];
    for (ssize_t count; (count = file.Read(block, sizeof block)) > 0;) {
        for (ssize_t i = 0; i < count; ++i) {
            const bool lineEnd = block[i] == '\r' || block[i] == '\n';
            if (!lineEnd && lineStart) ++lines;
            lineStart = lineEnd;
        }
    }
    return lines;
}

int CKdUpdaterUSB::StartBootloader() {
    // Sent without waiting: the switcher leaves the bus to restart its controller.
    const CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdBeginUsbUpdate);
    return SendCmdPacket(packet, 0) == kSendOK ? kResultOK : kResultTimeout;
}

void CKdUpdaterUSB::LeaveCommandLink() {
    if (LStream* stream = DeviceStream()) stream->DrainWriteData();
    SetDeviceStream(nullptr);
    mDevice->CloseDevice();
    mDevice = nullptr;
}

bool CKdUpdaterUSB::BootloaderAt(unsigned locationID) {
    LObjPtr_<LIOHIDManager> manager = new LIOHIDManager;
    manager->ReleaseObject();
    return manager->MatchingDevices({kKdUsbVendorID, kKdUsbProductID, long(locationID)}).Count() >
           0;
}

bool CKdUpdaterUSB::IsInBootloader(CKdUsbDevice* device) {
    return device && device->BsdPath().Length() == 0 && BootloaderAt(device->mInfo.locationID);
}

LIOHIDDevice* CKdUpdaterUSB::FindTargetDevice() {
    const LIOHIDManager::_SMatching matching{kKdUsbVendorID, kKdUsbProductID, std::nullopt};
    for (int attempt = 1; attempt <= mWaits.findTries; ++attempt) {
        LObjPtr_<LIOHIDManager> manager = new LIOHIDManager;
        manager->ReleaseObject();
        manager->SetRunLoop(LRunLoop::Main());
        const LObjList_<LIOHIDDevice> devices = manager->MatchingDevices(matching);
        for (int i = 0; i < devices.Count(); ++i) {
            LIOHIDDevice* device = devices.ObjectAtIndex(i);
            if (device->IntProperty(kIOHIDLocationIDKey, 0) == mDeviceInfo.locationID) {
                device->RetainObject(); // the caller's reference
                return device;
            }
        }
        if (attempt < mWaits.findTries)
            std::this_thread::sleep_for(std::chrono::milliseconds(mWaits.findIntervalMs));
    }
    return nullptr;
}

int CKdUpdaterUSB::Bootload() {
    CKdUpdaterUSB* idle = nullptr;
    // Another bootload runs in this process: one at a time.
    if (!sUpdater.compare_exchange_strong(idle, this)) return BTLDR_ERR_COMM;
    mProgress = 0;
    mHIDDevice->SetRunLoop(LRunLoop::Main());
    mHIDDevice->Open(); // a device that didn't open fails at the first exchange
    const Btldr_CommIf comm{BtCommOpenConnection, BtCommCloseConnection, BtCommReadData,
                            BtCommWriteData, kMaxTransferSize};
    const unsigned result = Btldr_Program(FilePath(), &comm, BtCallbackProgressUpdate);
    sUpdater = nullptr;
    mHIDDevice = nullptr;
    return static_cast<int>(result);
}

int CKdUpdaterUSB::MapBootloadResult(unsigned result) {
    switch (result) {
    case BTLDR_SUCCESS:
        return kResultOK;
    case BTLDR_ERR_FILE:
    case BTLDR_ERR_EOF:
    case BTLDR_ERR_LENGTH:
        return kResultFileError;
    case BTLDR_ERR_ABORT:
        return kResultStopped;
    default:
        return kResultDeviceError;
    }
}

int CKdUpdaterUSB::BtCommOpenConnection() {
    return 0;
}

int CKdUpdaterUSB::BtCommCloseConnection() {
    if (CKdUpdaterUSB* updater = sUpdater) updater->mHIDDevice = nullptr;
    return 0;
}

int CKdUpdaterUSB::BtCommWriteData(uint8_t* buffer, int size) {
    CKdUpdaterUSB* updater = sUpdater;
    if (!updater || !updater->mHIDDevice) return 0;
    updater->mHIDDevice->FlushReadData();
    updater->mHIDDevice->Write(buffer, size); // a lost packet shows as a missing answer
    return 0;
}

int CKdUpdaterUSB::BtCommReadData(uint8_t* buffer, int size) {
    CKdUpdaterUSB* updater = sUpdater;
    if (!updater || !updater->mHIDDevice) return 0;
    LIOHIDDevice* device = updater->mHIDDevice;
    // Bytes that don't arrive read as 0, so that the answer fails its framing check.
    std::memset(buffer, 0, size);
    int received = 0;
    while (received < size && device->WaitReadable(updater->mWaits.answerWaitMs)) {
        const ssize_t count = device->Read(buffer + received, size - received);
        if (count <= 0) break;
        received += static_cast<int>(count);
    }
    device->FlushReadData();
    return 0;
}

void CKdUpdaterUSB::BtCallbackProgressUpdate(uint8_t arrayId, uint16_t rowNum) {
    CKdUpdaterUSB* updater = sUpdater;
    if (!updater) return;
    if (updater->StopRequested()) Btldr_Abort();
    ++updater->mProgress;
    const int lines = updater->mNumOfLines;
    updater->Notification(kNotifyProgress, lines ? updater->mProgress * 1000 / lines : 0);
}
