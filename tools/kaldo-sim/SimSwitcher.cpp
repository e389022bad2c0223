#include "SimSwitcher.h"

#include <cstdio>

namespace {
// Identifiers the switcher acts on.
constexpr int kStillTarget = 131;
constexpr int kStillCapture = 132;
constexpr int kStillErase = 133;
constexpr int kStillStatus = 134;
constexpr int kStillMemory1 = 135;
constexpr int kPresetCallNumber = 171;
constexpr int kPresetChangeTarget = 172;
constexpr int kPresetChangeCut = 173;
constexpr int kPresetChangeAuto = 174;
constexpr int kPresetSaveLayer = 176;
constexpr int kPresetSaveNumber = 177;
constexpr int kPresetSaveExec = 178;
constexpr int kTransitionValue = 200;
constexpr int kVideoFadeValue = 202;
constexpr int kAudioFadeValue = 204;
constexpr int kMainInSw = 206;
constexpr int kSubInSw = 207;
constexpr int kModeSw = 208;
constexpr int kAutoFadeSw = 209;
constexpr int kSystemReboot = 998;
constexpr int kFactoryReset = 999;
constexpr int kParameterSave = 1000;

// A layer (180, 190) and a preset (320 + 10k) share one layout: size, H position, V position
// (16-bit each) and source; a layer's zoom, pan and tilt speeds follow.
constexpr int kLayer1 = 180;
constexpr int kPreset1 = 320;
constexpr int kBlockStride = 10;
constexpr int kRoiBytes = 7;
constexpr int kSize = 0, kHPosition = 2, kVPosition = 4;
constexpr int kMoveZoom = 7, kMovePan = 8, kMoveTilt = 9;

constexpr int kFullScale = 4095;
constexpr int kStillReady = 0;
constexpr int kStillSaving = 2;
constexpr int kStillBusyTicks = 3;
constexpr int kStillSlots = 4;
constexpr int kLayers = 2;
} // namespace

SimSwitcher::SimSwitcher(const SimCatalog& catalog, std::unique_ptr<SimStateFile> state)
    : mCatalog(catalog), mState(std::move(state)), mMemory(catalog),
      mSaved(catalog.FactoryImage()) {}

bool SimSwitcher::Start(std::string& error) {
    mMemory.LoadImage(mCatalog.FactoryImage());
    if (mState && !mState->Load(mCatalog, mMemory, error)) return false;
    mSaved = mMemory.Image();
    PowerUp();
    return true;
}

void SimSwitcher::PowerUp() {
    mMemory.LoadImage(mSaved);
    for (int layer = 0; layer < kLayers; ++layer)
        for (int speed : {kMoveZoom, kMovePan, kMoveTilt})
            mMemory.SetValue(kLayer1 + layer * kBlockStride + speed, 0);
    mMemory.SetValue(kStillStatus, kStillReady);
    for (int slot = 0; slot < kStillSlots; ++slot)
        mMemory.SetValue(kStillMemory1 + slot, 0);
    mStillBusyTicks = 0;
    mRebootRequested = false;
}

std::string SimSwitcher::SerialNumber() const {
    std::string serial;
    for (int i = 0; i < kSerialLength && mMemory.Image()[kSerialNumber + i] != 0; ++i)
        serial += static_cast<char>(mMemory.Image()[kSerialNumber + i]);
    return serial;
}

bool SimSwitcher::Execute(int id, int value) {
    if (value == 0) return true;
    switch (id) {
    case kStillCapture:
        ChangeStill(1);
        break;
    case kStillErase:
        ChangeStill(0);
        break;
    case kPresetChangeCut:
    case kPresetChangeAuto:
        CallPreset();
        break;
    case kPresetSaveExec:
        SavePreset();
        break;
    case kMainInSw:
        mMemory.SetValue(kTransitionValue, 0);
        break;
    case kSubInSw:
        mMemory.SetValue(kTransitionValue, kFullScale);
        break;
    case kModeSw:
        mMemory.SetValue(kTransitionValue, mMemory.Value(kTransitionValue) ? 0 : kFullScale);
        break;
    case kAutoFadeSw: {
        const int faded = mMemory.Value(kVideoFadeValue) ? 0 : kFullScale;
        mMemory.SetValue(kVideoFadeValue, faded);
        mMemory.SetValue(kAudioFadeValue, faded);
        break;
    }
    case kSystemReboot:
        RequestReboot();
        break;
    case kFactoryReset:
        mMemory.LoadImage(mCatalog.FactoryImage());
        break;
    case kParameterSave:
        return SaveParameters();
    }
    return true;
}

void SimSwitcher::CallPreset() {
    const int preset = kPreset1 + mMemory.Value(kPresetCallNumber) * kBlockStride;
    const int layer = kLayer1 + mMemory.Value(kPresetChangeTarget) * kBlockStride;
    mMemory.Copy(preset, layer, kRoiBytes);
}

void SimSwitcher::SavePreset() {
    const int layer = kLayer1 + mMemory.Value(kPresetSaveLayer) * kBlockStride;
    const int preset = kPreset1 + mMemory.Value(kPresetSaveNumber) * kBlockStride;
    mMemory.Copy(layer, preset, kRoiBytes);
}

void SimSwitcher::ChangeStill(int stored) {
    mMemory.SetValue(kStillMemory1 + mMemory.Value(kStillTarget), stored);
    mMemory.SetValue(kStillStatus, kStillSaving);
    mStillBusyTicks = kStillBusyTicks;
}

bool SimSwitcher::SaveParameters() {
    mSaved = mMemory.Image();
    std::string error;
    if (!mState || mState->Save(mCatalog, mMemory, error)) return true;
    std::fprintf(stderr, "kaldo-sim: %s\n", error.c_str());
    return false;
}

void SimSwitcher::Tick() {
    if (mStillBusyTicks > 0 && --mStillBusyTicks == 0) mMemory.SetValue(kStillStatus, kStillReady);
    for (int layer = 0; layer < kLayers; ++layer)
        Move(kLayer1 + layer * kBlockStride);
}

void SimSwitcher::Move(int layer) {
    const struct {
        int value, speed;
    } axes[] = {{kSize, kMoveZoom}, {kHPosition, kMovePan}, {kVPosition, kMoveTilt}};
    for (const auto& axis : axes) {
        const int speed = mMemory.Value(layer + axis.speed);
        if (speed) mMemory.SetValue(layer + axis.value, mMemory.Value(layer + axis.value) + speed);
    }
}

bool SimSwitcher::TakeRebootRequest() {
    const bool requested = mRebootRequested;
    mRebootRequested = false;
    return requested;
}
