#include "CtlUpdate.h"

#include "CKdFirmwareFile.h"
#include "CKdUpdaterFPGA.h"
#include "CKdUpdaterUSB.h"
#include "CtlDevice.h"
#include "CtlStatus.h"
#include "KdUpdateInformation.h"
#include "LNotificationCenter.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
constexpr int kReturnWaitMs = 15000; // the USB controller restarting its application
constexpr int kBarWidth = 40;
constexpr int kInterruptPollMs = 200;

volatile sig_atomic_t sInterrupts = 0;

// Ctrl-C while an update runs is counted instead of ending the program; the update thread never
// takes the signal, so the main loop sees it. The program's own handling comes back with the
// guard's end, or at once by Release().
class InterruptGuard {
public:
    InterruptGuard() {
        sInterrupts = 0;
        struct sigaction action {};
        action.sa_handler = [](int) { sInterrupts = sInterrupts + 1; };
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &mPrevious);
    }
    ~InterruptGuard() { Release(); }
    void Release() {
        if (mHeld) sigaction(SIGINT, &mPrevious, nullptr);
        mHeld = false;
    }
    int Count() const { return sInterrupts; }
    // Runs start with SIGINT blocked, so that a thread it creates inherits the block.
    template <class Start>
    static void OnThreadWithoutInterrupts(Start start) {
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
        start();
        pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
    }

private:
    struct sigaction mPrevious {};
    bool mHeld = true;
};

std::string BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Shows the update's notifications as one line rewritten in place, when stderr is a terminal.
class ProgressBar {
public:
    ProgressBar() : mTerminal(isatty(STDERR_FILENO)) {}
    ~ProgressBar() { Finish(); }

    // Ends the bar's line, so that what follows starts on a line of its own.
    void Finish() {
        if (mShown) std::fputc('\n', stderr);
        mShown = false;
    }

    void Show(const char* phase, int perMille) {
        if (!mTerminal) return;
        const int filled = perMille * kBarWidth / 1000;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%% %-12s", filled,
                     "########################################", kBarWidth - filled, "",
                     perMille / 10, phase);
        std::fflush(stderr);
        mShown = true;
    }

private:
    bool mTerminal;
    bool mShown = false;
};
} // namespace

int CtlUpdate::ExitCode(int result) {
    switch (result) {
    case CKdUpdater::kResultOK:
        return CtlStatus::kOK;
    case CKdUpdater::kResultFileError:
        return CtlStatus::kOther;
    case CKdUpdater::kResultTimeout:
        return CtlStatus::kNoAnswer;
    case CKdUpdater::kResultFailed:
        return CtlStatus::kRefused;
    case CKdUpdater::kResultStopped:
        return kExitInterrupted;
    default:
        return CtlStatus::kNoDevice;
    }
}

int CtlUpdate::Run(CtlDevice& ctlDevice, Kind kind, const char* path, const Confirm& confirm) {
    const bool usb = kind == kUsbController;
    const CKdFirmwareFile::_SResult file = CKdFirmwareFile::Check(
        path, usb ? CKdFirmwareFile::kUsbController : CKdFirmwareFile::kMainFirmware);
    if (!file.ok) return CtlStatus::Fail(CtlStatus::kOther, "%s", file.problem.c_str());
    CKdUsbDevice* device = ctlDevice.Chosen();
    if (!device) return CtlStatus::Fail(CtlStatus::kNoDevice, "no KALDO-1 found");
    const LString serial = device->mInfo.serialNumber;
    const int64_t session = device->mSessionID;
    // The bootloader's input reports are delivered on the main loop while the update thread
    // waits for them.
    LRunLoop::SetMain(&ctlDevice.RunLoop());
    const bool inBootloader = CKdUpdaterUSB::IsInBootloader(device);
    if (inBootloader && !usb)
        return CtlStatus::Fail(CtlStatus::kNoDevice,
                               "%s is waiting in its bootloader: an update of its USB controller "
                               "did not finish; finish it with update-usb FILE.cyacd first",
                               serial.CString());
    if (!inBootloader && !device->PrmManager()) {
        if (!device->DeviceStream()) return ctlDevice.LinkFailure();
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "no answer from %s", serial.CString());
    }

    char question[1024];
    const std::string name = BaseName(path);
    if (inBootloader) {
        std::snprintf(question, sizeof question,
                      "%s is waiting in its bootloader: an update of its USB controller did not "
                      "finish. Write the USB controller firmware %s (%lu rows) there now?",
                      serial.CString(), name.c_str(), file.rows);
    } else {
        const CKdPrmManager::_SVersionInfo versions = device->PrmManager()->VersionInfo();
        std::snprintf(question, sizeof question,
                      usb ? "Update the USB controller firmware of %s (software %s, FPGA %s, "
                            "USB %s) with %s (%lld bytes, %lu rows)? The switcher restarts into "
                            "its bootloader, which writes the rows; keep it connected until it "
                            "is back."
                          : "Update the main firmware of %s (software %s, FPGA %s, USB %s) with "
                            "%s (%lld bytes)? Its main firmware is erased first; keep the "
                            "switcher connected until the update has ended.",
                      serial.CString(), versions.mSoftware.CString(), versions.mFPGA.CString(),
                      versions.mUSB.CString(), name.c_str(), static_cast<long long>(file.size),
                      file.rows);
    }
    if (const int status = confirm(question)) return status;

    LObjPtr_<CKdUpdater> updater;
    if (!usb) {
        updater = new CKdUpdaterFPGA(path);
    } else {
        auto* usbUpdater = new CKdUpdaterUSB(path, device);
        if (inBootloader) usbUpdater->FinishInBootloader();
        updater = usbUpdater;
    }
    updater->ReleaseObject();
    if (inBootloader)
        CtlStatus::Note("finishing the update of %s in its bootloader", serial.CString());
    else if (!updater->BorrowDeviceStream(device))
        return CtlStatus::Fail(CtlStatus::kNoDevice, "cannot open the serial node of %s",
                               serial.CString());

    int result = -1;
    ProgressBar bar;
    const char* phase = "";
    const int token = LNotificationCenter::Default().AddObserver(
        CKdUpdater::kNotificationName, [&](const LNotification& notification) {
            auto* info = dynamic_cast<KdUpdateInformation*>(notification.object.Get());
            if (!info || info->Updater() != updater.Get()) return;
            switch (info->Type()) {
            case CKdUpdater::kNotifyErasing:
                bar.Show(phase = "Erasing...", 0);
                break;
            case CKdUpdater::kNotifyWriting:
                bar.Show(phase = "Writing", 0);
                break;
            case CKdUpdater::kNotifyProgress:
                bar.Show(phase, info->Value());
                break;
            case CKdUpdater::kNotifyEnd:
                result = info->Value();
                break;
            }
        });
    InterruptGuard interrupts;
    InterruptGuard::OnThreadWithoutInterrupts([&] { updater->StartUpdateThread(); });
    for (int seen = 0; result < 0;) {
        ctlDevice.RunLoop().RunOnce(kInterruptPollMs);
        if (interrupts.Count() == seen) continue;
        seen = interrupts.Count();
        if (seen == 1) {
            CtlStatus::Note(usb ? "stopping now leaves the USB controller partly written: the "
                                  "switcher may stay in its bootloader until update-usb finishes "
                                  "the job. Press Ctrl-C again to stop anyway"
                                : "stopping now leaves the main firmware partly written: the "
                                  "switcher may not work until it is updated again. Press Ctrl-C "
                                  "again to stop anyway");
        } else {
            CtlStatus::Note("stopping after the current %s", usb ? "row" : "block");
            updater->RequestStop();
            interrupts.Release(); // one more Ctrl-C ends the program at once
        }
    }
    LNotificationCenter::Default().RemoveObserver(token);
    if (!usb) device->ReturnStream();
    LRunLoop::SetMain(nullptr);
    bar.Finish();

    const CKdUpdater::_SResultText text = CKdUpdater::ResultText(result);
    if (result != CKdUpdater::kResultOK)
        return CtlStatus::Fail(ExitCode(result), "%s%s%s", text.mMessage,
                               *text.mInformative ? ": " : "", text.mInformative);
    std::printf("%s\n", text.mMessage);
    if (usb) {
        if (ctlDevice.AwaitAttachment(serial, session, kReturnWaitMs))
            std::printf("%s is back as a new attachment\n", serial.CString());
        else
            CtlStatus::Note("%s did not come back within %d s", serial.CString(),
                            kReturnWaitMs / 1000);
    }
    return CtlStatus::kOK;
}
