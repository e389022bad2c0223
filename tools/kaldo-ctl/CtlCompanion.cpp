#include "CtlCompanion.h"

#include "CtlStatus.h"

#include "CKdSocketTable.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A UDP socket closed when the owner goes.
struct Socket {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    ~Socket() {
        if (fd >= 0) close(fd);
    }
};

} // namespace

int CtlCompanion::SendEvent(const char* text, bool replyExpected, int waitMs, LString& reply) {
    reply = "";
    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    const auto eventQueue = [&] {
        return CKdSocketTable::ReceiveQueue(CKdSocketTable::Current(), loopback,
                                            static_cast<uint16_t>(mEventPort));
    };
    if (eventQueue() < 0)
        return CtlStatus::Fail(CtlStatus::kNoAnswer,
                               "nothing listens on 127.0.0.1:%d; is kaldo-utility running "
                               "(with its companion link on this port)?",
                               mEventPort);
    uint32_t owner = 0;
    if (CKdSocketTable::OwnerOf(CKdSocketTable::Current(), loopback,
                                static_cast<uint16_t>(mEventPort),
                                owner) == CKdSocketTable::kOwnerFound &&
        owner != geteuid())
        CtlStatus::Note("127.0.0.1:%d belongs to user %u: the utility takes events only from "
                        "its own user, unless started with --companion-any-user",
                        mEventPort, owner);
    Socket listener, sender;
    if (listener.fd < 0 || sender.fd < 0)
        return CtlStatus::Fail(CtlStatus::kOther, "cannot create a UDP socket: %s",
                               std::strerror(errno));
    // Listen before sending, so that a quick reply is not missed.
    const sockaddr_in replyAddress = Loopback(mReplyPort);
    const bool listening =
        replyExpected && bind(listener.fd, reinterpret_cast<const sockaddr*>(&replyAddress),
                              sizeof replyAddress) == 0;
    if (replyExpected && !listening)
        CtlStatus::Note("cannot listen on 127.0.0.1:%d (%s); a reply will not be shown", mReplyPort,
                        std::strerror(errno));

    const sockaddr_in eventAddress = Loopback(mEventPort);
    const size_t length = std::strlen(text);
    if (sendto(sender.fd, text, length, 0, reinterpret_cast<const sockaddr*>(&eventAddress),
               sizeof eventAddress) != ssize_t(length))
        return CtlStatus::Fail(CtlStatus::kOther, "cannot send to 127.0.0.1:%d: %s", mEventPort,
                               std::strerror(errno));

    if (listening) {
        pollfd entry{listener.fd, POLLIN, 0};
        if (poll(&entry, 1, waitMs) <= 0) return CtlStatus::kOK;
        char buffer[1500];
        const ssize_t received = recv(listener.fd, buffer, sizeof buffer, 0);
        for (ssize_t i = 0; i < received; ++i)
            reply << buffer[i];
        return CtlStatus::kOK;
    }
    for (int waited = 0; eventQueue() > 0; waited += kPollMs) {
        if (waited >= waitMs)
            return CtlStatus::Fail(CtlStatus::kNoAnswer,
                                   "the utility has not read the event within %d ms (busy?); "
                                   "read later, it would be refused, as its sender is gone",
                                   waitMs);
        poll(nullptr, 0, kPollMs);
    }
    return CtlStatus::kOK;
}
