#pragma once

#include "CKdIONotification.h"
#include "LObjPtr_.h"
#include "LPollRunLoop.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

class CtlOutput;
class CtlSession;

// Finds switchers as the utility does (udev and virtual device records, or a serial node given
// by path), chooses one and opens its command link for a session. The methods that can fail
// return a CtlStatus code and print the reason.
class CtlDevice {
public:
    CtlDevice();
    ~CtlDevice();

    // Starts discovery; the switchers present are known when it returns. A non-empty manualPath
    // adds that serial node as a device and makes it the choice. Fails (kOther) when the
    // directory of virtual device records cannot be created or watched.
    int Start(const std::string& manualPath);
    struct _SEntry {
        std::string mSerial;
        std::string mProduct;
        unsigned mLocation;
        uint64_t mSession;
        std::string mPath;
        bool mBootloader; // waiting in its bootloader: no serial node, a bootloader at its location
    };
    // The switchers present.
    std::vector<_SEntry> Entries() const;
    // The switcher with that serial number, or the only one when serial is empty.
    int Choose(const std::string& serial);
    LString ProductName() const;
    // Opens the chosen switcher's serial node for the session (through a trace stream when
    // trace is set) and waits for the version answer. A node that another program holds is
    // tried again for up to waitBusyMs; a negative waitBusyMs waits as long as another program
    // holds it, until *stop is set (then kBusy, not printed). When it cannot be opened, the
    // message names the cause: missing, not a terminal (kNoDevice), permission (kPermission),
    // busy (kBusy, with the holders and how to free it).
    int Open(CtlSession& session, bool trace, int waitBusyMs,
             const volatile std::sig_atomic_t* stop = nullptr);
    // Sends the reboot command, closes the link and waits up to waitMs for the switcher to leave
    // and come back as a new attachment (0: does not wait).
    // What happened goes to out.
    int Reboot(CtlSession& session, int waitMs, CtlOutput& out);

    // For the firmware updates: the chosen switcher's device link, the loop that delivers its
    // events, and a wait until the switcher with that serial number has a serial node again
    // with another session than notSession (false after waitMs).
    CKdUsbDevice* Chosen() const { return dynamic_cast<CKdUsbDevice*>(mDevice.Get()); }
    LPollRunLoop& RunLoop() { return mRunLoop; }
    bool AwaitAttachment(const char* serial, int64_t notSession, int waitMs);
    // Why the chosen switcher's serial node cannot be opened, worded and coded as by Open.
    int LinkFailure();

private:
    // Handles run-loop events until done() or waitMs has passed; the final done().
    template <class Done>
    bool RunUntil(int waitMs, Done done);
    LString Serials() const;
    // Why path cannot be opened as the switcher's link, as a CtlStatus with the message printed.
    int OpenFailure(const char* serial, const std::string& path);

    LPollRunLoop mRunLoop;
    CKdIONotification mNotification;
    int64_t mManualSession = 0;
    LObjPtr_<LIOUsbDevice> mDevice;
};
