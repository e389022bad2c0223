#include "CKdUdpLink.h"

#include "CKdSocketTable.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    return address;
}

// The largest UDP payload over IPv4.
constexpr size_t kMaxDatagram = 65507;

} // namespace

CKdUdpLink::CKdUdpLink(uint16_t eventPort, uint16_t replyPort)
    : mEventPort(eventPort), mReplyPort(replyPort) {}

CKdUdpLink::~CKdUdpLink() {
    if (mLoop && mSourceId) mLoop->RemoveSource(mSourceId);
    if (mSocket >= 0) close(mSocket);
}

bool CKdUdpLink::Listen(LRunLoop& loop, Handler handler, RefusedHandler refused, bool anyUser) {
    if (mSocket >= 0) return true;
    const int fd = socket(PF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return false;
    const sockaddr_in address = LoopbackAddress(mEventPort);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return false;
    }
    const int sourceId = loop.AddSource(fd, [this] { ReceiveOne(); });
    if (!sourceId) {
        close(fd);
        return false;
    }
    mSocket = fd;
    mSourceId = sourceId;
    mLoop = &loop;
    mHandler = std::move(handler);
    mRefused = std::move(refused);
    mAnyUser = anyUser;
    mBuffer.resize(kMaxDatagram);
    return true;
}

uint16_t CKdUdpLink::EventPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (mSocket < 0 || getsockname(mSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

void CKdUdpLink::ReceiveOne() {
    // One datagram per call: the loop calls again while more are waiting, so a burst of events
    // does not hold up the rest of the loop.
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const ssize_t count = recvfrom(mSocket, mBuffer.data(), mBuffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&address), &length);
    if (count < 0) return;
    _SSender from;
    from.mPort = ntohs(address.sin_port);
    uint32_t uid = 0;
    if (CKdSocketTable::OwnerOf(CKdSocketTable::Current(), address.sin_addr.s_addr, from.mPort,
                                uid) == CKdSocketTable::kOwnerFound)
        from.mUid = uid;
    if (!mAnyUser && from.mUid != static_cast<int64_t>(geteuid())) {
        if (mRefused) mRefused(from);
        return;
    }
    if (mHandler) mHandler(mBuffer.data(), static_cast<size_t>(count), from);
}

void CKdUdpLink::Send(const char* text) const {
    SendTo(mReplyPort, text);
}

void CKdUdpLink::SendTo(uint16_t port, const char* text) {
    if (!text) return;
    const int fd = socket(PF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return;
    const timeval timeout = {kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    const sockaddr_in address = LoopbackAddress(port);
    sendto(fd, text, std::strlen(text), 0, reinterpret_cast<const sockaddr*>(&address),
           sizeof address);
    close(fd);
}

void udpSend(const char* text) {
    CKdUdpLink::SendTo(CKdUdpLink::kReplyPort, text);
}
