#include "KdKeyboardPanel.h"

#include <QKeyEvent>

#include <linux/input-event-codes.h>

namespace {

using enum CKdKeyboardOperation::EKeyCode;

// nativeScanCode() is the XKB keycode on xcb and Wayland: the kernel's evdev key code + 8.
constexpr quint32 kXkbKeycodeOffset = 8;

// Physical key, its US label, panel key code. The place decides, never the character: the same
// keys work on every layout and the keypad works with NumLock on and off. PC keypads have NumLock
// where the Clear key is, so NumLock is Clear.
// clang-format off
constexpr KdKeyboardPanel::_SKey kKeys[] = {
    {KEY_S,           "S",            kKeyS},
    {KEY_D,           "D",            kKeyD},
    {KEY_F,           "F",            kKeyF},
    {KEY_C,           "C",            kKeyC},
    {KEY_1,           "1",            kKey1},
    {KEY_2,           "2",            kKey2},
    {KEY_3,           "3",            kKey3},
    {KEY_4,           "4",            kKey4},
    {KEY_5,           "5",            kKey5},
    {KEY_6,           "6",            kKey6},
    {KEY_7,           "7",            kKey7},
    {KEY_8,           "8",            kKey8},
    {KEY_EQUAL,       "=",            kKeyEqual},
    {KEY_MINUS,       "-",            kKeyMinus},
    {KEY_P,           "P",            kKeyP},
    {KEY_COMMA,       ",",            kKeyComma},
    {KEY_N,           "N",            kKeyN},
    {KEY_M,           "M",            kKeyM},
    {KEY_DOT,         ".",            kKeyPeriod},
    {KEY_BACKSPACE,   "Backspace",    kKeyDelete},
    {KEY_KPDOT,       "Keypad .",     kKeypadDecimal},
    {KEY_KPASTERISK,  "Keypad *",     kKeypadMultiply},
    {KEY_KPPLUS,      "Keypad +",     kKeypadPlus},
    {KEY_NUMLOCK,     "Num Lock",     kKeypadClear},
    {KEY_KPSLASH,     "Keypad /",     kKeypadDivide},
    {KEY_KPENTER,     "Keypad Enter", kKeypadEnter},
    {KEY_KPMINUS,     "Keypad -",     kKeypadMinus},
    {KEY_KP0,         "Keypad 0",     kKeypad0},
    {KEY_KP1,         "Keypad 1",     kKeypad1},
    {KEY_KP2,         "Keypad 2",     kKeypad2},
    {KEY_KP3,         "Keypad 3",     kKeypad3},
    {KEY_KP4,         "Keypad 4",     kKeypad4},
    {KEY_KP5,         "Keypad 5",     kKeypad5},
    {KEY_KP6,         "Keypad 6",     kKeypad6},
    {KEY_KP7,         "Keypad 7",     kKeypad7},
    {KEY_KP8,         "Keypad 8",     kKeypad8},
    {KEY_KP9,         "Keypad 9",     kKeypad9},
    {KEY_F1,          "F1",           kKeyF1},
    {KEY_F2,          "F2",           kKeyF2},
    {KEY_F3,          "F3",           kKeyF3},
    {KEY_F4,          "F4",           kKeyF4},
    {KEY_F5,          "F5",           kKeyF5},
    {KEY_F6,          "F6",           kKeyF6},
    {KEY_F7,          "F7",           kKeyF7},
    {KEY_F8,          "F8",           kKeyF8},
    {KEY_F9,          "F9",           kKeyF9},
    {KEY_F10,         "F10",          kKeyF10},
    {KEY_HOME,        "Home",         kKeyHome},
    {KEY_PAGEUP,      "Page Up",      kKeyPageUp},
    {KEY_END,         "End",          kKeyEnd},
    {KEY_LEFT,        "Left",         kKeyLeft},
    {KEY_RIGHT,       "Right",        kKeyRight},
    {KEY_DOWN,        "Down",         kKeyDown},
    {KEY_UP,          "Up",           kKeyUp},
};
// clang-format on

} // namespace

std::span<const KdKeyboardPanel::_SKey> KdKeyboardPanel::Keys() {
    return kKeys;
}

int KdKeyboardPanel::KeyCode(const QKeyEvent& event) {
    for (const _SKey& key : kKeys)
        if (quint32(key.mEvdevCode) + kXkbKeycodeOffset == event.nativeScanCode())
            return key.mKeyCode;
    return 0;
}

void KdKeyboardPanel::keyDown(const QKeyEvent& event, CKdPrmManager* session) {
    // Keys held with Ctrl, Alt or Meta are the window's shortcuts, never the panel's.
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return;
    if (const int keyCode = KeyCode(event))
        mOperation.KeyDown(session, keyCode, event.modifiers() & Qt::ShiftModifier);
}

void KdKeyboardPanel::keyUp(const QKeyEvent& event, CKdPrmManager* session) {
    if (event.isAutoRepeat()) return;
    if (const int keyCode = KeyCode(event)) mOperation.KeyUp(session, keyCode);
}
