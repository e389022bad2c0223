#include "CKdUpdater.h"

#include "CKdUsbDevice.h"
#include "KdUpdateInformation.h"
#include "LNotificationCenter.h"

#include <iterator>
#include <thread>

CKdUpdater::_SResultText CKdUpdater::ResultText(int result) {
    // clang-format off
    static constexpr _SResultText kTexts[] = {
        /* kResultOK          */ {"Update Completed", ""},
        /* kResultFileError   */ {"Update Failed", "File error."},
        /* kResultDeviceError */ {"Update Failed", "device error."},
        /* kResultTimeout     */ {"Update Failed", "device error."},
        /* kResultFailed      */ {"Update Failed", "device error."},
        /* kResultStopped     */ {"Update Failed", "Stopped before the end."},
    };
    // clang-format on
    if (result >= 0 && result < static_cast<int>(std::size(kTexts))) return kTexts[result];
    return {"Update Failed", ""};
}

CKdUpdater::CKdUpdater(const char* filePath) : mFilePath(filePath) {}

CKdUpdater::~CKdUpdater() = default;

bool CKdUpdater::BorrowDeviceStream(CKdUsbDevice* device) {
    LStream* stream = device ? device->LendStream() : nullptr;
    if (!stream) return false;
    SetDeviceStream(stream);
    return true;
}

void CKdUpdater::StartUpdateThread() {
    RetainObject();
    std::thread([this] {
        const int result = ExecUpdate();
        // The stream goes back to its owner only after the updater is done with it.
        SetDeviceStream(nullptr);
        Notification(kNotifyEnd, result);
        ReleaseObject();
    }).detach();
}

int CKdUpdater::FileRefused(const std::string& problem) {
    mFileProblem = problem;
    return kResultFileError;
}

void CKdUpdater::Notification(int type, int value) {
    auto* information = new KdUpdateInformation(this, type, value);
    LNotificationCenter::Default().PostOnMainThread(kNotificationName, this, information);
    information->ReleaseObject(); // the notification keeps it alive on its way
}

int CKdUpdater::SendPacket(const CKdCmdPacket& packet, int expectedCommand, int timeoutMs) {
    mError = false;
    mAwaitedSequence = packet.mSequence;
    const int sent = SendCmdPacket(packet, timeoutMs);
    mAwaitedSequence = -1;
    if (mError) return kResultFailed;
    if (sent == kSendOK) return kResultOK;
    return sent == kSendTimeout ? kResultTimeout : kResultFailed;
}

void CKdUpdater::PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {
    if (mAwaitedSequence >= 0 && packet.mSequence == mAwaitedSequence) {
        // An answer without its status byte counts as a failure.
        mError = packet.mLength < 1 || packet.mData[0] != 0;
        mAwaitedSequence = -1;
    }
    CKdPrmManager::PacketCompleted(parser, packet);
}
