#include "CtlUpdate.h"

#include "CKdUpdaterFPGA.h"
#include "CKdUpdaterUSB.h"
#include "CtlDevice.h"
#include "CtlStatus.h"
#include "KdUpdateInformation.h"
#include "LNotificationCenter.h"

#include <unistd.h>

#include <cstdio>

namespace {
constexpr int kReturnWaitMs = 15000; // the USB controller restarting its application
constexpr int kBarWidth = 40;

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
    default:
        return CtlStatus::kNoDevice;
    }
}

int CtlUpdate::Run(CtlDevice& ctlDevice, Kind kind, const char* path) {
    CKdUsbDevice* device = ctlDevice.Chosen();
    if (!device) return CtlStatus::Fail(CtlStatus::kNoDevice, "no KALDO-1 found");
    const LString serial = device->mInfo.serialNumber;
    const int64_t session = device->mSessionID;
    // The bootloader's input reports are delivered on the main loop while the update thread
    // waits for them.
    LRunLoop::SetMain(&ctlDevice.RunLoop());
    if (!device->PrmManager()) {
        if (!device->DeviceStream())
            return CtlStatus::Fail(CtlStatus::kNoDevice,
                                   "cannot open the serial node of %s (gone, or in use by "
                                   "another program)",
                                   serial.CString());
        return CtlStatus::Fail(CtlStatus::kNoAnswer, "no answer from %s", serial.CString());
    }
    LObjPtr_<CKdUpdater> updater;
    if (kind == kMainFirmware)
        updater = new CKdUpdaterFPGA(path);
    else
        updater = new CKdUpdaterUSB(path, device);
    updater->ReleaseObject();
    if (!updater->BorrowDeviceStream(device))
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
    updater->StartUpdateThread();
    while (result < 0)
        ctlDevice.RunLoop().RunOnce(-1);
    LNotificationCenter::Default().RemoveObserver(token);
    if (kind == kMainFirmware) device->ReturnStream();
    LRunLoop::SetMain(nullptr);
    bar.Finish();

    const CKdUpdater::_SResultText text = CKdUpdater::ResultText(result);
    if (result != CKdUpdater::kResultOK)
        return CtlStatus::Fail(ExitCode(result), "%s%s%s", text.mMessage,
                               *text.mInformative ? ": " : "", text.mInformative);
    std::printf("%s\n", text.mMessage);
    if (kind == kUsbController) {
        if (ctlDevice.AwaitAttachment(serial, session, kReturnWaitMs))
            std::printf("%s is back as a new attachment\n", serial.CString());
        else
            CtlStatus::Note("%s did not come back within %d s", serial.CString(),
                            kReturnWaitMs / 1000);
    }
    return CtlStatus::kOK;
}
