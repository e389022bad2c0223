#pragma once

#include "CKdUpdater.h"
#include "CKdUsbDevice.h"
#include "LIOHIDDevice.h"
#include "LObjPtr_.h"

#include <atomic>
#include <cstdint>

// Updates the switcher's USB controller: asks the switcher (0x30) to start the controller's
// bootloader, finds the bootloader as a HID device at the same USB location, and programs the
// row-data file through it.
class CKdUpdaterUSB : public CKdUpdater {
public:
    struct _SWaits {
        int findTries = 10;
        int findIntervalMs = 500;
        int answerWaitMs = 1000; // per answer chunk
    };

    // device may be null (the update then ends with kResultDeviceError).
    CKdUpdaterUSB(const char* filePath, CKdUsbDevice* device);
    CKdUpdaterUSB(const char* filePath, CKdUsbDevice* device, const _SWaits& waits);
    ~CKdUpdaterUSB() override;

    // The whole file is read and parsed before the start command, so that a bad file ends with
    // its mapped result and the controller untouched.
    int ExecUpdate() override;

    // The number of non-empty lines of the file; 0 when it can't be opened.
    int CalcNumOfLines() const;
    // The bootloader at the switcher's USB location (the caller's reference), or null after the
    // last try.
    LIOHIDDevice* FindTargetDevice();

    // The bootloader host's result as an updater result.
    static int MapBootloadResult(unsigned result);

private:
    int StartBootloader();
    void LeaveCommandLink();
    int Bootload();

    // The transport and row callback of the bootload; they reach the running updater through
    // sUpdater.
    static int BtCommOpenConnection();
    static int BtCommCloseConnection();
    static int BtCommReadData(uint8_t* buffer, int size);
    static int BtCommWriteData(uint8_t* buffer, int size);
    static void BtCallbackProgressUpdate(uint8_t arrayId, uint16_t rowNum);

    // The one updater whose bootload runs in this process, or null.
    static std::atomic<CKdUpdaterUSB*> sUpdater;

    LObjPtr_<CKdUsbDevice> mDevice;
    LIOUsbDevice::_SDeviceInfo mDeviceInfo;
    LObjPtr_<LIOHIDDevice> mHIDDevice;
    _SWaits mWaits;
    int mNumOfLines = 0;
    int mProgress = 0;
};
