#pragma once

#include "LString.h"

// The companion side of the local UDP link: sends one event text to the running utility and
// listens for the reply line, as the control-surface plug-in does.
class CtlCompanion {
public:
    static constexpr int kEventPort = 51514;

    CtlCompanion(int eventPort, int replyPort) : mEventPort(eventPort), mReplyPort(replyPort) {}

    static constexpr int kPollMs = 10;

    // Sends text as one datagram to 127.0.0.1:eventPort. The utility takes datagrams only from
    // sockets of its own user, which it can tell only while the socket exists: so the sending
    // socket stays open until the utility has read the datagram (its receive queue is empty),
    // or with replyExpected until one datagram arrived on 127.0.0.1:replyPort (into reply), at
    // most waitMs. Nothing listening on the event port is a failure; when the reply port is
    // taken, the event is still sent and a note says so. A CtlStatus.
    int SendEvent(const char* text, bool replyExpected, int waitMs, LString& reply);

private:
    int mEventPort;
    int mReplyPort;
};
