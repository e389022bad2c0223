#pragma once

#include "LString.h"

// The companion side of the local UDP link: sends one event text to the running utility and
// listens for the reply line, as the control-surface plug-in does.
class CtlCompanion {
public:
    static constexpr int kEventPort = 51514;
    static constexpr int kReplyPort = 51515;

    CtlCompanion(int eventPort, int replyPort) : mEventPort(eventPort), mReplyPort(replyPort) {}

    // Sends text as one datagram to 127.0.0.1:eventPort and waits up to waitMs for one datagram
    // on 127.0.0.1:replyPort, which goes to reply (empty when none came). When the reply port
    // is taken, the event is still sent and a note says so. A CtlStatus.
    int SendEvent(const char* text, int waitMs, LString& reply);

private:
    int mEventPort;
    int mReplyPort;
};
