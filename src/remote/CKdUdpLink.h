#pragma once

#include "LRunLoop.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// The local UDP link to the companion program: event datagrams arrive on 127.0.0.1:51514 through
// a run-loop source; replies leave for 127.0.0.1:51515, each from a fresh socket. Nothing here
// looks inside the texts.
class CKdUdpLink {
public:
    static constexpr uint16_t kEventPort = 51514;
    static constexpr uint16_t kReplyPort = 51515;
    static constexpr int kSendTimeoutMs = 3000;

    // Where a datagram came from: the sender's port and the user owning its socket (-1 when no
    // socket of that port could be found).
    struct _SSender {
        uint16_t mPort = 0;
        int64_t mUid = -1;
    };
    // Receives one datagram's payload.
    using Handler = std::function<void(const uint8_t* bytes, size_t count, const _SSender& from)>;
    // Hears of a datagram dropped because its sender is not this process's user.
    using RefusedHandler = std::function<void(const _SSender& from)>;

    // Ports other than the fixed ones are for tests; port 0 listens on any free port.
    explicit CKdUdpLink(uint16_t eventPort = kEventPort, uint16_t replyPort = kReplyPort);
    ~CKdUdpLink();
    CKdUdpLink(const CKdUdpLink&) = delete;
    CKdUdpLink& operator=(const CKdUdpLink&) = delete;

    // Binds 127.0.0.1:eventPort and hands every datagram to handler on loop's thread. False, and
    // no link, when the socket cannot be made or the port is taken; the caller goes on without.
    // Any local process can send to the port: a datagram counts only when the socket it came
    // from belongs to this process's user (looked up by the sender's port in the kernel's socket
    // tables), unless anyUser is set. Others go to refused, their payload unread.
    bool Listen(LRunLoop& loop, Handler handler, RefusedHandler refused = {}, bool anyUser = false);
    bool IsListening() const { return mSocket >= 0; }
    // The port bound by Listen; 0 when not listening.
    uint16_t EventPort() const;

    // Sends text (without its terminating NUL) as one datagram to the reply port; failures are
    // dropped silently.
    void Send(const char* text) const;
    static void SendTo(uint16_t port, const char* text);

private:
    void ReceiveOne();

    uint16_t mEventPort;
    uint16_t mReplyPort;
    int mSocket = -1;
    int mSourceId = 0;
    LRunLoop* mLoop = nullptr;
    Handler mHandler;
    RefusedHandler mRefused;
    bool mAnyUser = false;
    std::vector<uint8_t> mBuffer;
};

// Sends one reply text to the companion at 127.0.0.1:51515.
void udpSend(const char* text);
