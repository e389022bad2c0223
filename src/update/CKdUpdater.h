#pragma once

#include "CKdPrmManager.h"
#include "CKdSleepInhibitor.h"
#include "LString.h"

#include <atomic>
#include <string>

class CKdUsbDevice;

// Base of the firmware updaters: a session that is lent the switcher's command stream for the
// update, sends its own packets and awaits their answers, and reports progress and the result
// as "KdUpdateNotification"s (object: KdUpdateInformation) posted on the main thread. The
// computer doesn't fall asleep from idleness while an updater exists.
class CKdUpdater : public CKdPrmManager {
public:
    static constexpr char kNotificationName[] = "KdUpdateNotification";

    // Notification types.
    enum : int {
        kNotifyBegin = 0,
        kNotifyErasing = 1,
        kNotifyWriting = 2,
        kNotifyProgress = 3, // value: per mille done
        kNotifyEnd = 4,      // value: the result
    };

    // Results of ExecUpdate.
    enum : int {
        kResultOK = 0,
        kResultFileError = 1,
        kResultDeviceError = 2,
        kResultTimeout = 3, // no answer in time, or the start command couldn't be sent
        kResultFailed = 4,  // the switcher answered with a failure, or the link failed
        kResultStopped = 5, // stopped on request (RequestStop) before the end
    };

    // How a result is told to the user: the alert's message and its informative text.
    struct _SResultText {
        const char* mMessage;
        const char* mInformative;
    };
    static _SResultText ResultText(int result);

    explicit CKdUpdater(const char* filePath);
    ~CKdUpdater() override;

    // Runs the whole update synchronously; once, on the update thread.
    virtual int ExecUpdate() { return kResultOK; }

    // Takes the device's command stream on loan (CKdUsbDevice::LendStream); false when there is
    // none. The owner gives it back with CKdUsbDevice::ReturnStream at the end notification.
    bool BorrowDeviceStream(CKdUsbDevice* device);
    // Runs ExecUpdate on a thread of its own, lets go of the stream and posts the end
    // notification with the result. The thread holds a reference until then.
    void StartUpdateThread();

    // Asks the running update to stop before its next block or row (kResultStopped); any thread.
    void RequestStop() { mStopRequested = true; }
    bool StopRequested() const { return mStopRequested; }
    // Why the file was refused when the update ended with kResultFileError; read it after the
    // end notification.
    const std::string& FileProblem() const { return mFileProblem; }

    // Posts a notification of this updater on the main thread; any thread.
    void Notification(int type, int value);
    // Sends the packet and awaits its answer: kResultOK, kResultTimeout, or kResultFailed when
    // sending failed or the answer's status isn't 0. expectedCommand is informational.
    int SendPacket(const CKdCmdPacket& packet, int expectedCommand, int timeoutMs);

    const LString& FilePath() const { return mFilePath; }

    // A stream given to an updater starts none of the session's requests.
    void DeviceStreamChanged() override {}
    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

protected:
    // Ends ExecUpdate for a file that failed its check, keeping the cause.
    int FileRefused(const std::string& problem);

private:
    CKdSleepInhibitor mInhibitor;
    LString mFilePath;
    bool mError = false;
    int mAwaitedSequence = -1;
    std::atomic<bool> mStopRequested{false};
    std::string mFileProblem;
};
