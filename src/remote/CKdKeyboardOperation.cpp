#include "CKdKeyboardOperation.h"

#include "CKdPanelOperation.h"
#include "LString.h"

#include <syslog.h>

namespace {

using Op = CKdPanelOperation;
using enum CKdKeyboardOperation::EKeyCode;

// When a row applies; rows of one key are tried in table order and the first that applies acts.
enum ECondition : uint8_t { kAlways, kShift, kEnterHeld, kZeroHeld, kClearHeld };
// The hold flag a key sets while down.
enum EHold : uint8_t { kNoHold, kZeroHold, kEnterHold, kClearHold };

struct SKeyRow {
    int mKeyCode;
    ECondition mCondition;
    Op mOperation;
    const char* mLogText;
    EHold mHold = kNoHold;
};

// Operations of the ROI automatic time (seconds), source, positions and move speeds; all on
// ROI [1] except the recalls on ROI [2].
constexpr Op kSlower = Op::Step(175, +1, 120);
constexpr Op kFaster = Op::Step(175, -1, 0);
constexpr Op kDefaultTime = Op::Set(175, 2);
constexpr Op kCutTime = Op::Set(175, 0);
constexpr Op kSourceDec = Op::Step(186, -1, 0);
constexpr Op kSourceInc = Op::Step(186, +1, 5);
constexpr Op kCenter = Op::Zero(182, 4);
constexpr Op kZoomIn = Op::Speed(187, -4);
constexpr Op kZoomOut = Op::Speed(187, +4);
constexpr Op Recall1(int preset) {
    return Op::Recall(preset, 0);
}
constexpr Op Recall2(int preset) {
    return Op::Recall(preset, 1);
}
constexpr Op StorePreset(int preset) {
    return Op::Store(preset, 0);
}

// clang-format off
constexpr SKeyRow kKeyDownRows[] = {
    {kKeyS,           kAlways,    kSlower,      "Slow"},
    {kKeyD,           kAlways,    kDefaultTime, "Default"},
    {kKeypadDivide,   kAlways,    kDefaultTime, "Default"},
    {kKeyF,           kAlways,    kFaster,      "Fast"},
    {kKeypadMultiply, kAlways,    kFaster,      "Fast"},
    {kKeyC,           kAlways,    kCutTime,     "Cut"},
    {kKeypadDecimal,  kAlways,    kCutTime,     "Cut"},
    {kKey1,           kShift,     StorePreset(1),    "1 with Shift"},
    {kKey1,           kAlways,    Recall1(1),  "1"},
    {kKey2,           kShift,     StorePreset(2),    "2 with Shift"},
    {kKey2,           kAlways,    Recall1(2),  "2"},
    {kKey3,           kShift,     StorePreset(3),    "3 with Shift"},
    {kKey3,           kAlways,    Recall1(3),  "3"},
    {kKey4,           kShift,     StorePreset(4),    "4 with Shift"},
    {kKey4,           kAlways,    Recall1(4),  "4"},
    {kKey5,           kShift,     StorePreset(5),    "5 with Shift"},
    {kKey5,           kAlways,    Recall1(5),  "5"},
    {kKey6,           kShift,     StorePreset(6),    "6 with Shift"},
    {kKey6,           kAlways,    Recall1(6),  "6"},
    {kKey7,           kShift,     StorePreset(7),    "7 with Shift"},
    {kKey7,           kAlways,    Recall1(7),  "7"},
    {kKey8,           kShift,     StorePreset(8),    "8 with Shift"},
    {kKey8,           kAlways,    Recall1(8),  "8"},
    {kKeyEqual,       kAlways,    kZoomIn,      "ZoomIn"},
    {kKeypadPlus,     kAlways,    kZoomIn,      "ZoomIn"},
    {kKeyF10,         kAlways,    kZoomIn,      "ZoomIn"},
    {kKeyMinus,       kAlways,    kZoomOut,     "ZoomOut"},
    {kKeypadMinus,    kAlways,    kZoomOut,     "ZoomOut"},
    {kKeyF9,          kAlways,    kZoomOut,     "ZoomOut"},
    {kKeyP,           kAlways,    kSourceDec,   "SourceDec"},
    {kKeyEnd,         kAlways,    kSourceDec,   "SourceDec"},
    {kKeyN,           kAlways,    kSourceInc,   "SourceInc"},
    {kKeyHome,        kAlways,    kSourceInc,   "SourceInc"},
    {kKeyComma,       kAlways,    Op::Execute(206), "[1]"},
    {kKeyPeriod,      kAlways,    Op::Execute(207), "[2]"},
    {kKeyM,           kAlways,    Op::Execute(208), "MODE"},
    {kKeyDelete,      kAlways,    kCenter,      "Center"},
    {kKeyPageUp,      kAlways,    kCenter,      "Center"},
    {kKeypadClear,    kAlways,    {},           "Clear",   kClearHold},
    {kKeypadEnter,    kAlways,    {},           "Enter",   kEnterHold},
    {kKeypad0,        kAlways,    {},           "TenKey0", kZeroHold},
    {kKeypad1,        kEnterHeld, StorePreset(1),    "TenKeyNum1 with Enter"},
    {kKeypad1,        kZeroHeld,  Recall2(1),  "TenKeyNum1 with 0"},
    {kKeypad1,        kAlways,    Recall1(1),  "TenKeyNum1"},
    {kKeypad2,        kEnterHeld, StorePreset(2),    "TenKeyNum2 with Enter"},
    {kKeypad2,        kZeroHeld,  Recall2(2),  "TenKeyNum2 with 0"},
    {kKeypad2,        kClearHeld, Op::Step(184, +8, 1080),  "TiltDown"},
    {kKeypad2,        kAlways,    Recall1(2),  "TenKeyNum2"},
    {kKeypad3,        kEnterHeld, StorePreset(3),    "TenKeyNum3 with Enter"},
    {kKeypad3,        kZeroHeld,  Recall2(3),  "TenKeyNum3 with 0"},
    {kKeypad3,        kClearHeld, kSourceDec,   "SourceDec"},
    {kKeypad3,        kAlways,    Recall1(3),  "TenKeyNum3"},
    {kKeypad4,        kEnterHeld, StorePreset(4),    "TenKeyNum4 with Enter"},
    {kKeypad4,        kZeroHeld,  Recall2(4),  "TenKeyNum4 with 0"},
    {kKeypad4,        kClearHeld, Op::Step(182, -8, -1920), "PanLeft"},
    {kKeypad4,        kAlways,    Recall1(4),  "TenKeyNum4"},
    {kKeypad5,        kEnterHeld, StorePreset(5),    "TenKeyNum5 with Enter"},
    {kKeypad5,        kZeroHeld,  Recall2(5),  "TenKeyNum5 with 0"},
    {kKeypad5,        kAlways,    Recall1(5),  "TenKeyNum5"},
    {kKeypad6,        kEnterHeld, StorePreset(6),    "TenKeyNum6 with Enter"},
    {kKeypad6,        kZeroHeld,  Recall2(6),  "TenKeyNum6 with 0"},
    {kKeypad6,        kClearHeld, Op::Step(182, +8, 1920),  "PanRight"},
    {kKeypad6,        kAlways,    Recall1(6),  "TenKeyNum6"},
    {kKeypad7,        kEnterHeld, StorePreset(7),    "TenKeyNum7 with Enter"},
    {kKeypad7,        kZeroHeld,  Recall2(7),  "TenKeyNum7 with 0"},
    {kKeypad7,        kClearHeld, kCenter,      "Center"},
    {kKeypad7,        kAlways,    Recall1(7),  "TenKeyNum7"},
    {kKeypad8,        kEnterHeld, StorePreset(8),    "TenKeyNum8 with Enter"},
    {kKeypad8,        kZeroHeld,  Recall2(8),  "TenKeyNum8 with 0"},
    {kKeypad8,        kClearHeld, Op::Step(184, -8, -1080), "TiltUp"},
    {kKeypad8,        kAlways,    Recall1(8),  "TenKeyNum8"},
    {kKeypad9,        kClearHeld, kSourceInc,   "SourceInc"},
    {kKeypad9,        kAlways,    kSlower,      "Slow"},
    {kKeyF1,          kAlways,    Recall2(1),  "F1"},
    {kKeyF2,          kAlways,    Recall2(2),  "F2"},
    {kKeyF3,          kAlways,    Recall2(3),  "F3"},
    {kKeyF4,          kAlways,    Recall2(4),  "F4"},
    {kKeyF5,          kAlways,    Recall2(5),  "F5"},
    {kKeyF6,          kAlways,    Recall2(6),  "F6"},
    {kKeyF7,          kAlways,    Recall2(7),  "F7"},
    {kKeyF8,          kAlways,    Recall2(8),  "F8"},
    {kKeyLeft,        kAlways,    Op::Speed(188, -4), "PanLeft"},
    {kKeyRight,       kAlways,    Op::Speed(188, +4), "PanRight"},
    {kKeyDown,        kAlways,    Op::Speed(189, +4), "TiltDown"},
    {kKeyUp,          kAlways,    Op::Speed(189, -4), "TiltUp"},
};

// Key-up: movement keys stop their axis, hold keys release their flag (mHold is cleared).
constexpr SKeyRow kKeyUpRows[] = {
    {kKeyLeft,        kAlways,    Op::Speed(188, 0), "PanStop"},
    {kKeyRight,       kAlways,    Op::Speed(188, 0), "PanStop"},
    {kKeyDown,        kAlways,    Op::Speed(189, 0), "TiltStop"},
    {kKeyUp,          kAlways,    Op::Speed(189, 0), "TiltStop"},
    {kKeyEqual,       kAlways,    Op::Speed(187, 0), "ZoomStop"},
    {kKeyMinus,       kAlways,    Op::Speed(187, 0), "ZoomStop"},
    {kKeypadPlus,     kAlways,    Op::Speed(187, 0), "ZoomStop"},
    {kKeypadMinus,    kAlways,    Op::Speed(187, 0), "ZoomStop"},
    {kKeyF9,          kAlways,    Op::Speed(187, 0), "ZoomStop"},
    {kKeyF10,         kAlways,    Op::Speed(187, 0), "ZoomStop"},
    {kKeypad0,        kAlways,    {},                "TenKey0Off", kZeroHold},
    {kKeypadClear,    kAlways,    {},                "ClearOff",   kClearHold},
    {kKeypadEnter,    kAlways,    {},                "EnterOff",   kEnterHold},
};
// clang-format on

// Key codes outside this span do nothing beyond their log line.
constexpr int kFirstKeyCode = 1;
constexpr int kLastKeyCode = 126;

} // namespace

bool* CKdKeyboardOperation::HoldFlag(int hold) {
    switch (hold) {
    case kZeroHold:
        return &keyNumPad0Hold;
    case kEnterHold:
        return &keyEnterHold;
    case kClearHold:
        return &keyClearHold;
    default:
        return nullptr;
    }
}

void CKdKeyboardOperation::KeyDown(CKdPrmManager* session, int keyCode, bool shift) {
    if (mLog) mLog(LString().Format("%d", keyCode));
    if (keyCode < kFirstKeyCode || keyCode > kLastKeyCode) return;
    const bool holds[] = {true, shift, keyEnterHold, keyNumPad0Hold, keyClearHold};
    for (const SKeyRow& row : kKeyDownRows) {
        if (row.mKeyCode != keyCode || !holds[row.mCondition]) continue;
        if (bool* flag = HoldFlag(row.mHold)) *flag = true;
        if (session) row.mOperation.Run(*session);
        if (mLog) mLog(row.mLogText);
        return;
    }
}

void CKdKeyboardOperation::KeyUp(CKdPrmManager* session, int keyCode) {
    for (const SKeyRow& row : kKeyUpRows) {
        if (row.mKeyCode != keyCode) continue;
        if (bool* flag = HoldFlag(row.mHold)) *flag = false;
        if (session) row.mOperation.Run(*session);
        if (mLog) mLog(row.mLogText);
        return;
    }
}

std::vector<CKdKeyboardOperation::_SKeyAction> CKdKeyboardOperation::KeyActions(int keyCode) {
    // By ECondition: the key held together with the row's key.
    constexpr const char* kHeld[] = {"", "Shift", "Keypad Enter", "Keypad 0", "Num Lock"};
    std::vector<_SKeyAction> actions;
    for (const SKeyRow& row : kKeyDownRows)
        if (row.mKeyCode == keyCode)
            actions.push_back({keyCode, kHeld[row.mCondition], row.mLogText});
    return actions;
}

void CKdKeyboardOperation::SystemLog(const char* line) {
    syslog(LOG_INFO, "%s", line);
}
