#pragma once

#include "LObject.h"
#include "LRunLoop.h"

#include <cstdint>

// Base of the HID classes: the run loop that delivers their input and their open options.
class LIOHIDObject : public virtual LObject {
public:
    // Open option: exclusive access; other openers fail while the device is open.
    static constexpr uint32_t kOptionsSeizeDevice = 1;

    // The loop that delivers input; null means LRunLoop::Main(). Set it before opening.
    void SetRunLoop(LRunLoop* runLoop) { mRunLoop = runLoop; }
    LRunLoop* RunLoop() const { return mRunLoop ? mRunLoop : LRunLoop::Main(); }
    void SetOptions(uint32_t options) { mOptions = options; }
    uint32_t Options() const { return mOptions; }

protected:
    LRunLoop* mRunLoop = nullptr;
    uint32_t mOptions = kOptionsSeizeDevice;
};
