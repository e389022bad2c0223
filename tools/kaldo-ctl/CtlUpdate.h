#pragma once

#include <functional>

class CtlDevice;

// The firmware updates of kaldo-ctl: the main firmware ("bin") over the command link and the USB
// controller's ("cyacd") through its bootloader, with a progress bar on a terminal and the
// update window's result texts. The file is checked whole before the switcher is touched, and
// the update is confirmed before the first command. A switcher found waiting in its bootloader
// (an earlier USB-controller update did not finish) is updated there.
class CtlUpdate {
public:
    enum Kind { kMainFirmware, kUsbController };
    // Exit code of an update stopped by a second Ctrl-C, as a shell reports SIGINT.
    static constexpr int kExitInterrupted = 130;

    // Asks the question; a CtlStatus code (kOK to go on).
    using Confirm = std::function<int(const char* question)>;

    // Updates the chosen switcher from path; a CtlStatus exit code per result: 0 done,
    // 1 file error, 3 device error, 4 no answer in time, 5 the switcher reported a failure,
    // kExitInterrupted stopped; 6 when the confirmation was declined, 7 and 8 as for opening.
    static int Run(CtlDevice& device, Kind kind, const char* path, const Confirm& confirm);
    static int ExitCode(int result);
};
