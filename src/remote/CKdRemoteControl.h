#pragma once

#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "CKdUdpLink.h"

#include <cstdint>
#include <memory>

class CKdPrmManager;
class LRunLoop;

// The window's end of the companion link: the UDP link, the interpreter with the last event's
// numbers and the executor with its save-hold flag. Accepted events go to the receiver (the
// window), which hands them back through ReceiveData with its current session.
class CKdRemoteControl {
public:
    using Receiver = CKdRemoteInterpreter::Receiver;

    explicit CKdRemoteControl(Receiver receiver) : mInterpreter(std::move(receiver)) {}

    // Starts listening for events; false (and the program goes on without the link) when the
    // port is taken. Ports other than the fixed ones are for tests.
    bool Listen(LRunLoop& loop, uint16_t eventPort = CKdUdpLink::kEventPort,
                uint16_t replyPort = CKdUdpLink::kReplyPort);
    const CKdUdpLink* Link() const { return mLink.get(); }

    // Executes one event on session; without a session nothing changes.
    void ReceiveData(CKdPrmManager* session, int32_t eventNum, int64_t dataNum) {
        mExecutor.ReceiveData(session, eventNum, dataNum);
    }
    const CKdRemoteInterpreter& Interpreter() const { return mInterpreter; }

private:
    std::unique_ptr<CKdUdpLink> mLink;
    CKdRemoteInterpreter mInterpreter;
    // Replies go out through the link's reply port.
    CKdRemoteExecutor mExecutor{[this](const char* text) {
        if (mLink) mLink->Send(text);
    }};
};
