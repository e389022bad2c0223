#pragma once

#include "CKdRemoteEditor.h"

#include <cstdint>

class CKdPrmManager;

// Turns one interpreted remote event into operations on the session: ROI preset recall and
// store, ROI movement and source, switching, times, and the bulk settings of picture-in-picture,
// split and key. Dial events ("enc" with Touch, Press or Rotate) go to the remote parameter
// editor. Keeps the save-hold flag between events; nothing else.
class CKdRemoteExecutor {
public:
    explicit CKdRemoteExecutor(CKdRemoteEditor::Reply reply = udpSend)
        : mEditor(std::move(reply)) {}

    // One event as the interpreter packed it. Without a session nothing changes.
    void ReceiveData(CKdPrmManager* session, int32_t eventNum, int64_t dataNum);

    // True between a "KeyDown" and a "KeyUp" of "save": "call" stores instead of recalling.
    bool RemoteSaveKeyHold() const { return mRemoteSaveKeyHold; }

private:
    void KeyDown(CKdPrmManager& session, uint32_t event, uint64_t data);
    void KeyUp(CKdPrmManager& session, uint32_t event);

    CKdRemoteEditor mEditor;
    bool mRemoteSaveKeyHold = false;
};
