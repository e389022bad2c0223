#pragma once

class CtlDevice;

// The firmware updates of kaldo-ctl: the main firmware ("bin") over the command link and the USB
// controller's ("cyacd") through its bootloader, with a progress bar on a terminal and the
// update window's result texts.
class CtlUpdate {
public:
    enum Kind { kMainFirmware, kUsbController };

    // Updates the chosen switcher from path; a CtlStatus exit code per result: 0 done,
    // 1 file error, 3 device error, 4 no answer in time, 5 the switcher reported a failure.
    static int Run(CtlDevice& device, Kind kind, const char* path);
    static int ExitCode(int result);
};
