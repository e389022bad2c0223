#include "KdKeyboardPanel.h"

#include <QKeyEvent>

namespace {

using Code = CKdKeyboardOperation::EKeyCode;
using enum CKdKeyboardOperation::EKeyCode;

enum EPad : bool { kMain = false, kKeypad = true };

struct SKey {
    int mQtKey;
    EPad mPad; // the key event carries Qt::KeypadModifier
    Code mKeyCode;
    bool mShifted; // the key is a main digit typed with Shift (US layout)
};

// Qt key, keyboard part, panel key code, shifted digit. The keypad's keys count with NumLock on
// and off; PC keyboards have no Clear key, so NumLock stands for it.
// clang-format off
constexpr SKey kKeys[] = {
    {Qt::Key_S,           kMain,   kKeyS,           false},
    {Qt::Key_D,           kMain,   kKeyD,           false},
    {Qt::Key_F,           kMain,   kKeyF,           false},
    {Qt::Key_C,           kMain,   kKeyC,           false},
    {Qt::Key_1,           kMain,   kKey1,           false},
    {Qt::Key_2,           kMain,   kKey2,           false},
    {Qt::Key_3,           kMain,   kKey3,           false},
    {Qt::Key_4,           kMain,   kKey4,           false},
    {Qt::Key_5,           kMain,   kKey5,           false},
    {Qt::Key_6,           kMain,   kKey6,           false},
    {Qt::Key_7,           kMain,   kKey7,           false},
    {Qt::Key_8,           kMain,   kKey8,           false},
    {Qt::Key_Exclam,      kMain,   kKey1,           true},
    {Qt::Key_At,          kMain,   kKey2,           true},
    {Qt::Key_NumberSign,  kMain,   kKey3,           true},
    {Qt::Key_Dollar,      kMain,   kKey4,           true},
    {Qt::Key_Percent,     kMain,   kKey5,           true},
    {Qt::Key_AsciiCircum, kMain,   kKey6,           true},
    {Qt::Key_Ampersand,   kMain,   kKey7,           true},
    {Qt::Key_Asterisk,    kMain,   kKey8,           true},
    {Qt::Key_Equal,       kMain,   kKeyEqual,       false},
    {Qt::Key_Minus,       kMain,   kKeyMinus,       false},
    {Qt::Key_P,           kMain,   kKeyP,           false},
    {Qt::Key_Comma,       kMain,   kKeyComma,       false},
    {Qt::Key_N,           kMain,   kKeyN,           false},
    {Qt::Key_M,           kMain,   kKeyM,           false},
    {Qt::Key_Period,      kMain,   kKeyPeriod,      false},
    {Qt::Key_Backspace,   kMain,   kKeyDelete,      false},
    {Qt::Key_Period,      kKeypad, kKeypadDecimal,  false},
    {Qt::Key_Comma,       kKeypad, kKeypadDecimal,  false},
    {Qt::Key_Asterisk,    kKeypad, kKeypadMultiply, false},
    {Qt::Key_Plus,        kKeypad, kKeypadPlus,     false},
    {Qt::Key_Clear,       kMain,   kKeypadClear,    false},
    {Qt::Key_NumLock,     kMain,   kKeypadClear,    false},
    {Qt::Key_NumLock,     kKeypad, kKeypadClear,    false},
    {Qt::Key_Slash,       kKeypad, kKeypadDivide,   false},
    {Qt::Key_Enter,       kKeypad, kKeypadEnter,    false},
    {Qt::Key_Minus,       kKeypad, kKeypadMinus,    false},
    {Qt::Key_0,           kKeypad, kKeypad0,        false},
    {Qt::Key_1,           kKeypad, kKeypad1,        false},
    {Qt::Key_2,           kKeypad, kKeypad2,        false},
    {Qt::Key_3,           kKeypad, kKeypad3,        false},
    {Qt::Key_4,           kKeypad, kKeypad4,        false},
    {Qt::Key_5,           kKeypad, kKeypad5,        false},
    {Qt::Key_6,           kKeypad, kKeypad6,        false},
    {Qt::Key_7,           kKeypad, kKeypad7,        false},
    {Qt::Key_8,           kKeypad, kKeypad8,        false},
    {Qt::Key_9,           kKeypad, kKeypad9,        false},
    {Qt::Key_Delete,      kKeypad, kKeypadDecimal,  false}, // NumLock off
    {Qt::Key_Insert,      kKeypad, kKeypad0,        false},
    {Qt::Key_End,         kKeypad, kKeypad1,        false},
    {Qt::Key_Down,        kKeypad, kKeypad2,        false},
    {Qt::Key_PageDown,    kKeypad, kKeypad3,        false},
    {Qt::Key_Left,        kKeypad, kKeypad4,        false},
    {Qt::Key_Clear,       kKeypad, kKeypad5,        false},
    {Qt::Key_Right,       kKeypad, kKeypad6,        false},
    {Qt::Key_Home,        kKeypad, kKeypad7,        false},
    {Qt::Key_Up,          kKeypad, kKeypad8,        false},
    {Qt::Key_PageUp,      kKeypad, kKeypad9,        false},
    {Qt::Key_F1,          kMain,   kKeyF1,          false},
    {Qt::Key_F2,          kMain,   kKeyF2,          false},
    {Qt::Key_F3,          kMain,   kKeyF3,          false},
    {Qt::Key_F4,          kMain,   kKeyF4,          false},
    {Qt::Key_F5,          kMain,   kKeyF5,          false},
    {Qt::Key_F6,          kMain,   kKeyF6,          false},
    {Qt::Key_F7,          kMain,   kKeyF7,          false},
    {Qt::Key_F8,          kMain,   kKeyF8,          false},
    {Qt::Key_F9,          kMain,   kKeyF9,          false},
    {Qt::Key_F10,         kMain,   kKeyF10,         false},
    {Qt::Key_Home,        kMain,   kKeyHome,        false},
    {Qt::Key_PageUp,      kMain,   kKeyPageUp,      false},
    {Qt::Key_End,         kMain,   kKeyEnd,         false},
    {Qt::Key_Left,        kMain,   kKeyLeft,        false},
    {Qt::Key_Right,       kMain,   kKeyRight,       false},
    {Qt::Key_Down,        kMain,   kKeyDown,        false},
    {Qt::Key_Up,          kMain,   kKeyUp,          false},
};
// clang-format on

} // namespace

int KdKeyboardPanel::KeyCode(const QKeyEvent& event, bool* shift) {
    const bool keypad = event.modifiers() & Qt::KeypadModifier;
    for (const SKey& key : kKeys)
        if (key.mQtKey == event.key() && key.mPad == keypad) {
            if (shift) *shift = key.mShifted || event.modifiers() & Qt::ShiftModifier;
            return key.mKeyCode;
        }
    if (shift) *shift = event.modifiers() & Qt::ShiftModifier;
    return 0;
}

void KdKeyboardPanel::keyDown(const QKeyEvent& event, CKdPrmManager* session) {
    bool shift = false;
    if (const int keyCode = KeyCode(event, &shift)) mOperation.KeyDown(session, keyCode, shift);
}

void KdKeyboardPanel::keyUp(const QKeyEvent& event, CKdPrmManager* session) {
    if (event.isAutoRepeat()) return;
    if (const int keyCode = KeyCode(event)) mOperation.KeyUp(session, keyCode);
}
