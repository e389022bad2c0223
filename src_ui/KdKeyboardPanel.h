#pragma once

#include "CKdKeyboardOperation.h"

#include <span>

class CKdPrmManager;
class QKeyEvent;

// The menu tree's keyboard as the switcher's panel: keys, by their physical place (the native scan
// code of xcb and Wayland), become the panel's key codes (one table), and the codes the
// operations of CKdKeyboardOperation. Shift is taken from the modifier flags; a key pressed with
// Ctrl, Alt or Meta is left to the window's shortcuts (its release still stops a movement).
class KdKeyboardPanel {
public:
    struct _SKey {
        int mEvdevCode;     // the key's place
        const char* mLabel; // its label on a US keyboard
        int mKeyCode;       // the panel's key code
    };

    // Every key of the panel, in the order of the key table.
    static std::span<const _SKey> Keys();

    explicit KdKeyboardPanel(CKdKeyboardOperation::Log log = CKdKeyboardOperation::SystemLog)
        : mOperation(std::move(log)) {}

    // The panel's key code of a key event, 0 for a key the panel does not know (or an event
    // without a scan code). The character the key types does not count.
    static int KeyCode(const QKeyEvent& event);

    // Without a session only the log lines and the hold keys' state change. Repeated presses of a
    // held key act again; the releases that Qt sends between repeats are not key-ups.
    void keyDown(const QKeyEvent& event, CKdPrmManager* session);
    void keyUp(const QKeyEvent& event, CKdPrmManager* session);

    const CKdKeyboardOperation& operation() const { return mOperation; }

private:
    CKdKeyboardOperation mOperation;
};
