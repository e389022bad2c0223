#pragma once

#include "LPollRunLoop.h"
#include "SimBootloader.h"
#include "SimDevice.h"
#include "SimFaults.h"
#include "SimHidPort.h"
#include "SimPty.h"
#include "SimRecord.h"
#include "SimTrace.h"

#include <memory>

// Runs the simulated switcher: one attachment (pseudo-terminal and record) at a time, the
// frames of the command link through the faults to the device, the 10 Hz clock, reboots,
// and an orderly leave on SIGINT, SIGTERM and SIGHUP.
class SimApp {
public:
    struct _SOptions {
        int rebootMs = 2000;
        bool trace = false;
        bool printTty = false;
        unsigned location = 0;
        SimFaults::_SConfig faults;
        int eraseDelayMs = 3000; // the answer to the main firmware's erase command
        SimBootloader::_SConfig bootloader;
    };

    SimApp(SimSwitcher& switcher, const _SOptions& options);
    ~SimApp();

    // Returns the exit status.
    int Run();

private:
    bool WatchSignals();
    bool Attach();
    SimRecord::_SInfo RecordInfo(const std::string& tty) const;
    void Detach();
    void Reboot();
    void Restart();
    void Disconnect();
    void Stop(int status);
    void OnInput();
    void OnRequest(const SimFrame& request);
    void Send(const SimFrame& answer);
    void Tick();
    // The USB controller restarts into its bootloader and appears as a HID device.
    void EnterBootloader();
    // After Exit Bootloader: the HID device leaves and the switcher attaches again.
    void LeaveBootloader();
    // Runs call after delayMs unless the attachment has ended meanwhile.
    void AfterMs(int delayMs, std::function<void()> call);

    SimSwitcher& mSwitcher;
    _SOptions mOptions;
    LPollRunLoop mLoop;
    SimFaults mFaults;
    SimTrace mTrace;
    SimFrameParser mParser;
    SimRecord mRecord;
    std::unique_ptr<SimPty> mPty;
    std::unique_ptr<SimDevice> mDevice;
    std::unique_ptr<SimBootloader> mBootloader;
    std::unique_ptr<SimHidPort> mHidPort;
    int mSignalFd = -1;
    int mInputSource = 0;
    int mAttachments = 0;
    long mGeneration = 0;
    int mExitStatus = 0;
};
