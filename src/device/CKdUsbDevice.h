#pragma once

#include "CKdPrmManager.h"
#include "LIOService.h"
#include "LIOUsbDevice.h"
#include "LMutex.h"
#include "LObjPtr_.h"

// One attached switcher: finds its serial node, opens it as a serial port at 115200 bit/s and
// owns the session that talks over it. Safe to use from the main and the update thread: the
// stream and the session are guarded by one mutex.
class CKdUsbDevice : public LIOUsbDevice {
public:
    static constexpr int kLinkSpeed = 115200;

    CKdUsbDevice() = default;
    // bsdPath presets the serial node when it is already known (a virtual or manual device, or a
    // USB device whose tty was present at arrival).
    CKdUsbDevice(int64_t sessionID, const _SDeviceInfo& info, const char* bsdPath = nullptr);
    ~CKdUsbDevice() override = default;

    // The serial node: known at arrival, or learnt when the notification reports it later; empty
    // while unknown. Never looked up, so it costs nothing to ask again and again.
    LString BsdPath();
    // Records the serial node that appeared after arrival; nothing without a serial number (as
    // at arrival, see BsdPathOf) or when a node is known already.
    void SerialNodeAdded(const char* node);
    // A new serial port on BsdPath(), open; the caller owns it. Null when there is no path or
    // the port cannot be opened (missing, or held by another opener).
    LStream* CreateStream() override;
    // The held stream, created or reopened as needed; null when it cannot be opened. The device
    // keeps its reference.
    LStream* DeviceStream() override;
    // The session, created on the stream at first; handed out only once the switcher has
    // answered the version request (each call while offline asks again).
    CKdPrmManager* PrmManager() override;
    // Closes the stream and drops it and the session.
    void CloseDevice() override;
    // Gives an offline session the current stream again (after a firmware update).
    void RestoreDeviceStream();
    // Lends the stream to a firmware update: the session lets go of it, and until
    // ReturnStream() or CloseDevice() the device hands out neither stream nor session, so that
    // only the borrower uses the link. Null when the stream can't be opened.
    LStream* LendStream();
    // Ends the loan and gives the session its stream again.
    void ReturnStream();

    // The serial node of a registry entry: its tty when it has a serial number, else "".
    static LString BsdPathOf(const LIOService& service);

private:
    LStream* DeviceStreamLocked();

    LMutex mPathMutex; // taken after mMutex when both are needed
    LString mBsdPath;
    LMutex mMutex;
    LObjPtr_<LStream> mStream;
    LObjPtr_<CKdPrmManager> mPrmManager;
    bool mLent = false;
};
