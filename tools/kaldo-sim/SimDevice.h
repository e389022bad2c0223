#pragma once

#include "SimFrameParser.h"
#include "SimSwitcher.h"

#include <cstdint>
#include <utility>

// The switcher's side of the command link: answers each request with its code + 0x80, the
// same sequence number and a status byte, then the data of the answer.
class SimDevice {
public:
    enum Status : uint8_t {
        kStatusOk = 0,
        kStatusUnknownCommand = 1,
        kStatusMalformed = 2,
        kStatusRefused = 3, // read-only, undefined or out-of-range parameter
        kStatusChecksum = 4,
        kStatusFailed = 5, // the action could not be carried out
    };

    enum Command : uint8_t {
        kReadParameters = 0x10,
        kReadVersion = 0x15,
        kWriteParameters = 0x20,
        kUsbControllerUpdate = 0x30,
        kFirmwareBegin = 0x31,
        kFirmwareBlock = 0x32,
        kFirmwareEnd = 0x33,
        kReboot = 0x40,
        kAnswerFlag = 0x80,
    };

    static constexpr int kMaxData = 59;

    explicit SimDevice(SimSwitcher& switcher) : mSwitcher(switcher) {}

    static bool IsRequest(const SimFrame& frame) { return !(frame.command & kAnswerFlag); }
    // The answer to a request.
    SimFrame Handle(const SimFrame& request);
    // The answer carrying only a status, as sent for refusals.
    static SimFrame StatusAnswer(const SimFrame& request, uint8_t status);
    // True once after a request to start the USB controller's bootloader.
    bool TakeBootloaderRequest() { return std::exchange(mBootloaderRequested, false); }

private:
    uint8_t ReadParameters(const SimFrame& request, SimFrame& answer);
    uint8_t ReadVersion(SimFrame& answer);
    uint8_t WriteParameters(const SimFrame& request);
    uint8_t Firmware(const SimFrame& request);

    SimSwitcher& mSwitcher;
    bool mFirmwareOpen = false;
    uint32_t mFirmwareSum = 0;
    bool mBootloaderRequested = false;
};
