#pragma once

#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "CKdUdpLink.h"

#include <cstdint>
#include <memory>
#include <string>

class CKdPrmManager;
class LRunLoop;

// The window's end of the companion link: the UDP link, the interpreter with the last event's
// numbers and the executor with its save-hold flag. Accepted events go to the receiver (the
// window), which hands them back through ReceiveData with its current session.
class CKdRemoteControl {
public:
    using Receiver = CKdRemoteInterpreter::Receiver;

    // What became of one datagram: executed, ignored (no event; mWhy says why) or refused (its
    // sender is another user).
    struct _SActivity {
        enum EOutcome { kExecuted, kIgnored, kRefused } mOutcome;
        CKdUdpLink::_SSender mSender;
        std::string mWhy;
    };
    using ActivityHandler = std::function<void(const _SActivity& activity)>;

    explicit CKdRemoteControl(Receiver receiver) : mInterpreter(std::move(receiver)) {}

    // Starts listening for events; false (and the program goes on without the link) when the
    // port is taken. Datagrams from other users' sockets are refused unless anyUser is set.
    // Ports other than the fixed ones are for tests and for a second utility.
    bool Listen(LRunLoop& loop, uint16_t eventPort = CKdUdpLink::kEventPort,
                uint16_t replyPort = CKdUdpLink::kReplyPort, bool anyUser = false);
    const CKdUdpLink* Link() const { return mLink.get(); }
    // Hears of every datagram after it has been handled.
    void SetActivityHandler(ActivityHandler handler) { mActivity = std::move(handler); }

    // Executes one event on session; without a session nothing changes.
    void ReceiveData(CKdPrmManager* session, int32_t eventNum, int64_t dataNum) {
        mExecutor.ReceiveData(session, eventNum, dataNum);
    }
    const CKdRemoteInterpreter& Interpreter() const { return mInterpreter; }

private:
    void Tell(const _SActivity& activity) const {
        if (mActivity) mActivity(activity);
    }

    std::unique_ptr<CKdUdpLink> mLink;
    CKdRemoteInterpreter mInterpreter;
    ActivityHandler mActivity;
    // Replies go out through the link's reply port.
    CKdRemoteExecutor mExecutor{[this](const char* text) {
        if (mLink) mLink->Send(text);
    }};
};
