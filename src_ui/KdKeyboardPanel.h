#pragma once

#include "CKdKeyboardOperation.h"

class CKdPrmManager;
class QKeyEvent;

// The menu tree's keyboard as the switcher's panel: Qt key events become the panel's key codes
// (one table), and the codes the operations of CKdKeyboardOperation.
class KdKeyboardPanel {
public:
    explicit KdKeyboardPanel(CKdKeyboardOperation::Log log = CKdKeyboardOperation::SystemLog)
        : mOperation(std::move(log)) {}

    // The panel's key code of a key event, 0 for a key the panel does not know; shift tells
    // whether Shift counts as held (it matters for the main keyboard's digits only).
    static int KeyCode(const QKeyEvent& event, bool* shift = nullptr);

    // Without a session only the log lines and the hold keys' state change. Repeated presses of a
    // held key act again; the releases that Qt sends between repeats are not key-ups.
    void keyDown(const QKeyEvent& event, CKdPrmManager* session);
    void keyUp(const QKeyEvent& event, CKdPrmManager* session);

    const CKdKeyboardOperation& operation() const { return mOperation; }

private:
    CKdKeyboardOperation mOperation;
};
