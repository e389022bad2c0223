#pragma once

#include "SimMemory.h"
#include "SimStateFile.h"

#include <memory>
#include <string>

// What the switcher does beside storing values: the execute identifiers, region-of-interest
// movement, the still memories, saving, factory reset and power-up.
class SimSwitcher {
public:
    static constexpr int kTickMs = 100;
    // Where the unit's identity lives in the memory.
    static constexpr int kSerialNumber = 980;
    static constexpr int kSerialLength = 10;
    static constexpr int kVersionWords = 990; // software, FPGA, USB, PHY: four 16-bit words

    // state: where "Parameter Save" keeps the settings; null keeps them in this process only.
    SimSwitcher(const SimCatalog& catalog, std::unique_ptr<SimStateFile> state);

    // Loads the saved settings (if any) and powers up.
    bool Start(std::string& error);
    // Memory from the saved settings; movements stopped, stills forgotten.
    void PowerUp();

    SimMemory& Memory() { return mMemory; }
    const SimCatalog& Catalog() const { return mCatalog; }
    std::string SerialNumber() const;

    // Acts on an execute identifier with a non-zero value; false when the action failed.
    bool Execute(int id, int value);
    // One step of the 10 Hz clock: moves the layers and finishes still captures.
    void Tick();

    void RequestReboot() { mRebootRequested = true; }
    bool TakeRebootRequest();

private:
    void CallPreset();
    void SavePreset();
    void ChangeStill(int stored);
    bool SaveParameters();
    void Move(int layer);

    const SimCatalog& mCatalog;
    std::unique_ptr<SimStateFile> mState;
    SimMemory mMemory;
    std::vector<uint8_t> mSaved;
    int mStillBusyTicks = 0;
    bool mRebootRequested = false;
};
