#pragma once

#include "LIOService.h"
#include "LIOVirtualDeviceDir.h"
#include "LRunLoopSource.h"
#include "LUdevMonitor.h"

#include <set>
#include <vector>

// Reports the arrival and removal of USB devices that match one matching dictionary: udev
// devices (subsystem "usb", devtype "usb_device") and virtual device records on the same path,
// plus manual entries. Devices present when it is armed are reported while it is armed; later
// events arrive as run-loop callbacks, among them the serial nodes that appear below a reported
// device after its arrival, so that nobody needs to look for them again.
class LIONotification {
public:
    // Told of every arrival and removal; `more` carries the device object where the sender has
    // one (an LIOUsbDevice*), else null.
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void RawDeviceAdded(LIONotification* sender, const LIOService& service,
                                    void* more) = 0;
        virtual void RawDeviceRemoved(LIONotification* sender, const LIOService& service,
                                      void* more) = 0;
    };

    // matching: the dictionary that manual entries take their identity from before the
    // notification is armed (SetMatchingInfo replaces it).
    explicit LIONotification(const LIOService& matching = LIOService());
    virtual ~LIONotification();
    LIONotification(const LIONotification&) = delete;
    LIONotification& operator=(const LIONotification&) = delete;

    void SetDelegate(Delegate* delegate) { mDelegate = delegate; }
    Delegate* GetDelegate() const { return mDelegate; }
    // The run loop that delivers later events; null (the default) means the main run loop.
    // Set it before SetMatchingInfo.
    void SetRunLoop(LRunLoop* loop) { mRunLoop = loop; }

    // Arms the notification for one matching dictionary: starts watching udev and the record
    // directory, then reports every matching device already present (udev devices first, then
    // records in name order) before it returns. False when udev cannot be watched.
    bool SetMatchingInfo(const LIOService& matching);
    // Reports a device reached through a serial node opened as it is, identified by the
    // matching dictionary's values and by the path as its serial number. Needs no arming, and
    // looks at nothing else (neither udev nor the record directory). Returns its session
    // identifier, or 0 without a path or a matching dictionary.
    int64_t AddManualDevice(const char* path);
    // The directory of virtual device records; its Failure() tells why it is not watched.
    const LIOVirtualDeviceDir& RecordDirectory() const { return mRecords; }

protected:
    // False when the source could not be added (no run loop).
    virtual bool AddRunLoopSource(const LRunLoopSource& source);
    // Base behaviour: tell the delegate with `more` null.
    virtual void RawDeviceAdded(const LIOService& service);
    virtual void RawDeviceRemoved(const LIOService& service);
    // A serial node (tty) appeared below a reported udev device after its arrival. Base
    // behaviour: nothing.
    virtual void SerialNodeAdded(int64_t sessionID, const char* node) {}

private:
    // Every arrival passes here: matching, and each attachment reported once.
    void ServiceAppeared(const LIOService& service);
    // Every removal passes here: only attachments reported before are passed on.
    void ServiceVanished(const LIOService& service);
    void ReceiveUdevEvents();
    void TtyAppeared(const LUdevDevice& tty);

    Delegate* mDelegate = nullptr;
    LRunLoop* mRunLoop = nullptr;
    LUdev mUdev;
    LUdevMonitor mMonitor;
    LRunLoopSource mRunLoopSource;
    LIOVirtualDeviceDir mRecords;
    LIOService mMatching;
    std::set<int64_t> mPresent; // session identifiers reported and not yet removed
};
