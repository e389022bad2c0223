#include "KdKeyboardPanel.h"

#include <QKeyEvent>

#include <linux/input-event-codes.h>

namespace {

using enum CKdKeyboardOperation::EKeyCode;

// nativeScanCode() is the XKB keycode on xcb and Wayland: the kernel's evdev key code + 8.
constexpr quint32 kXkbKeycodeOffset = 8;

struct SKey {
    int mEvdevCode; // the key's place, named by its US label
    int mKeyCode;   // the panel's key code
};

// Physical key, panel key code. The place decides, never the character: the same keys work on
// every layout and the keypad works with NumLock on and off. PC keypads have NumLock where the
// Clear key is, so NumLock is Clear.
// clang-format off
constexpr SKey kKeys[] = {
    {KEY_S,          kKeyS},
    {KEY_D,          kKeyD},
    {KEY_F,          kKeyF},
    {KEY_C,          kKeyC},
    {KEY_1,          kKey1},
    {KEY_2,          kKey2},
    {KEY_3,          kKey3},
    {KEY_4,          kKey4},
    {KEY_5,          kKey5},
    {KEY_6,          kKey6},
    {KEY_7,          kKey7},
    {KEY_8,          kKey8},
    {KEY_EQUAL,      kKeyEqual},
    {KEY_MINUS,      kKeyMinus},
    {KEY_P,          kKeyP},
    {KEY_COMMA,      kKeyComma},
    {KEY_N,          kKeyN},
    {KEY_M,          kKeyM},
    {KEY_DOT,        kKeyPeriod},
    {KEY_BACKSPACE,  kKeyDelete},
    {KEY_KPDOT,      kKeypadDecimal},
    {KEY_KPASTERISK, kKeypadMultiply},
    {KEY_KPPLUS,     kKeypadPlus},
    {KEY_NUMLOCK,    kKeypadClear},
    {KEY_KPSLASH,    kKeypadDivide},
    {KEY_KPENTER,    kKeypadEnter},
    {KEY_KPMINUS,    kKeypadMinus},
    {KEY_KP0,        kKeypad0},
    {KEY_KP1,        kKeypad1},
    {KEY_KP2,        kKeypad2},
    {KEY_KP3,        kKeypad3},
    {KEY_KP4,        kKeypad4},
    {KEY_KP5,        kKeypad5},
    {KEY_KP6,        kKeypad6},
    {KEY_KP7,        kKeypad7},
    {KEY_KP8,        kKeypad8},
    {KEY_KP9,        kKeypad9},
    {KEY_F1,         kKeyF1},
    {KEY_F2,         kKeyF2},
    {KEY_F3,         kKeyF3},
    {KEY_F4,         kKeyF4},
    {KEY_F5,         kKeyF5},
    {KEY_F6,         kKeyF6},
    {KEY_F7,         kKeyF7},
    {KEY_F8,         kKeyF8},
    {KEY_F9,         kKeyF9},
    {KEY_F10,        kKeyF10},
    {KEY_HOME,       kKeyHome},
    {KEY_PAGEUP,     kKeyPageUp},
    {KEY_END,        kKeyEnd},
    {KEY_LEFT,       kKeyLeft},
    {KEY_RIGHT,      kKeyRight},
    {KEY_DOWN,       kKeyDown},
    {KEY_UP,         kKeyUp},
};
// clang-format on

} // namespace

int KdKeyboardPanel::KeyCode(const QKeyEvent& event) {
    for (const SKey& key : kKeys)
        if (quint32(key.mEvdevCode) + kXkbKeycodeOffset == event.nativeScanCode())
            return key.mKeyCode;
    return 0;
}

void KdKeyboardPanel::keyDown(const QKeyEvent& event, CKdPrmManager* session) {
    if (const int keyCode = KeyCode(event))
        mOperation.KeyDown(session, keyCode, event.modifiers() & Qt::ShiftModifier);
}

void KdKeyboardPanel::keyUp(const QKeyEvent& event, CKdPrmManager* session) {
    if (event.isAutoRepeat()) return;
    if (const int keyCode = KeyCode(event)) mOperation.KeyUp(session, keyCode);
}
