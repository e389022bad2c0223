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

    // The whole file is checked (CKdFirmwareFile) before the start command, so that a bad file
    // ends with kResultFileError and the controller untouched. A stop request ends the bootload
    // after the row being written.
    int ExecUpdate() override;
    // The switcher is in its bootloader already (an earlier update did not finish): the update
    // sends no start command and finishes the job with the bootloader at its location.
    void FinishInBootloader() { mInBootloader = true; }

    // Whether a bootloader answers as a HID device at the USB location.
    static bool BootloaderAt(unsigned locationID);
    // Whether device is a switcher waiting in its bootloader: it has no serial node, and a
    // bootloader is at its location.
    static bool IsInBootloader(CKdUsbDevice* device);

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
    bool mInBootloader = false;
};
