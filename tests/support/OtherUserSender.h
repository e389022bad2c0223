#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

// Sends one datagram to 127.0.0.1:port from a child process running as user nobody (65534). The
// child keeps its socket open until the object goes, so that the receiver can still look up the
// socket's owner. Only root can become another user: Possible() says whether this process can.
class OtherUserSender {
public:
    static constexpr uid_t kUid = 65534;
    static bool Possible() { return geteuid() == 0; }

    OtherUserSender(uint16_t port, const std::string& text) {
        int hold[2], told[2];
        if (pipe(hold) != 0) return;
        if (pipe(told) != 0) {
            close(hold[0]);
            close(hold[1]);
            return;
        }
        mChild = fork();
        if (mChild == 0) {
            close(hold[1]);
            close(told[0]);
            Send(port, text, told[1]);
            char byte;
            while (read(hold[0], &byte, 1) > 0) {
            }
            _exit(0);
        }
        close(hold[0]);
        close(told[1]);
        mHold = hold[1];
        if (mChild > 0 && read(told[0], &mPort, sizeof mPort) != sizeof mPort) mPort = 0;
        close(told[0]);
    }
    ~OtherUserSender() {
        if (mHold >= 0) close(mHold);
        if (mChild > 0) waitpid(mChild, nullptr, 0);
    }
    OtherUserSender(const OtherUserSender&) = delete;
    OtherUserSender& operator=(const OtherUserSender&) = delete;

    // The child's sending port; 0 when nothing was sent.
    uint16_t Port() const { return mPort; }

private:
    // In the child: become nobody, send, and tell the parent the port sent from.
    static void Send(uint16_t port, const std::string& text, int told) {
        if (setgid(kUid) != 0 || setuid(kUid) != 0) _exit(1);
        const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&address),
                   sizeof address) != ssize_t(text.size()))
            _exit(1);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        const uint16_t sentFrom = ntohs(address.sin_port);
        if (write(told, &sentFrom, sizeof sentFrom) != sizeof sentFrom) _exit(1);
    }

    pid_t mChild = -1;
    int mHold = -1;
    uint16_t mPort = 0;
};
