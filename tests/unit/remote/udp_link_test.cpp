#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "CKdUdpLink.h"
#include "LPollRunLoop.h"
#include "OtherUserSender.h"
#include "RemoteSession.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

// A UDP socket bound to a free loopback port.
struct BoundSocket {
    BoundSocket() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~BoundSocket() { close(fd); }

    void SendTo(uint16_t to, const std::string& text) const {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(to);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address);
    }
    // One datagram as it arrived; "-" when none came within the wait.
    std::string Receive(int waitMs = 2000) const {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, waitMs) != 1) return "-";
        char buffer[2048];
        const ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        return count < 0 ? "-" : std::string(buffer, count);
    }

    int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    uint16_t port = 0;
};

using UdpRoundTrip = RemoteSession;

TEST_F(UdpRoundTrip, DatagramInPacketOnTheLinkReplyOut) {
    BoundSocket companion;
    LPollRunLoop loop;
    CKdUdpLink link(0, companion.port);
    CKdRemoteExecutor executor([&](const char* text) { link.Send(text); });
    CKdRemoteInterpreter interpreter([&](int32_t eventNum, int64_t dataNum) {
        executor.ReceiveData(&session, eventNum, dataNum);
    });
    ASSERT_TRUE(link.Listen(
        loop, [&](const uint8_t* bytes, size_t count, const CKdUdpLink::_SSender& from) {
            EXPECT_EQ(from.mUid, int64_t(geteuid()));
            interpreter.Receive(bytes, count);
            loop.Stop();
        }));
    ASSERT_NE(link.EventPort(), 0);

    device.memory[175] = 4;
    companion.SendTo(link.EventPort(), "Rotate:enc:0:175:0:1");
    loop.Run(2000);
    EXPECT_EQ(Sent(), (Wires{Request(175, 1), Set(175, {5})}));
    const std::string reply = companion.Receive();
    EXPECT_EQ(reply, "175:ROI Auto Time:5sec:4");
    EXPECT_EQ(reply.size(), 24u); // no terminating NUL

    // Any sender of this user is heard; an ignored text gets no reply.
    BoundSocket other;
    other.SendTo(link.EventPort(), "Rotate:enc:0:175:0");
    loop.Run(2000);
    EXPECT_EQ(companion.Receive(100), "-");
    EXPECT_EQ(Sent(), Wires());
}

TEST(UdpLink, ATakenPortLeavesNoLink) {
    BoundSocket holder;
    LPollRunLoop loop;
    CKdUdpLink link(holder.port);
    EXPECT_FALSE(link.Listen(loop, [](const uint8_t*, size_t, const CKdUdpLink::_SSender&) {}));
    EXPECT_FALSE(link.IsListening());
    EXPECT_EQ(link.EventPort(), 0);
    link.Send("dropped"); // sending needs no listener
    EXPECT_EQ(CKdUdpLink::kEventPort, 51514);
    EXPECT_EQ(CKdUdpLink::kReplyPort, 51515);
}

// A link on a free port that stops its loop at the first datagram, heard or refused: its text
// (or "refused") and its sender.
struct Listener {
    explicit Listener(bool anyUser = false) {
        listening = link.Listen(
            loop,
            [this](const uint8_t* bytes, size_t count, const CKdUdpLink::_SSender& sender) {
                Heard(std::string(reinterpret_cast<const char*>(bytes), count), sender);
            },
            [this](const CKdUdpLink::_SSender& sender) { Heard("refused", sender); }, anyUser);
    }
    void Heard(std::string heard, const CKdUdpLink::_SSender& sender) {
        text = std::move(heard);
        from = sender;
        loop.Stop();
    }

    LPollRunLoop loop;
    CKdUdpLink link{0, 0};
    bool listening = false;
    std::string text = "-";
    CKdUdpLink::_SSender from;
};

TEST(UdpLink, OnlyThisUsersSocketsAreHeardUnlessAnyUser) {
    if (!OtherUserSender::Possible()) GTEST_SKIP() << "sending as another user needs root";
    for (const bool anyUser : {false, true}) {
        Listener listener(anyUser);
        ASSERT_TRUE(listener.listening);
        OtherUserSender nobody(listener.link.EventPort(), "KeyDown:sw:CUT");
        ASSERT_NE(nobody.Port(), 0);
        listener.loop.Run(5000);
        EXPECT_EQ(listener.text, anyUser ? "KeyDown:sw:CUT" : "refused") << anyUser;
        EXPECT_EQ(listener.from.mPort, nobody.Port());
        EXPECT_EQ(listener.from.mUid, OtherUserSender::kUid);
    }
}

TEST(UdpLink, ASenderWhoseSocketIsGoneIsRefused) {
    // The owner is known only while the sending socket exists.
    Listener listener;
    ASSERT_TRUE(listener.listening);
    BoundSocket().SendTo(listener.link.EventPort(), "KeyDown:sw:CUT");
    listener.loop.Run(5000);
    EXPECT_EQ(listener.text, "refused");
    EXPECT_EQ(listener.from.mUid, -1);
}

TEST(UdpLink, EachReplyIsOneDatagramOfExactlyItsBytes) {
    BoundSocket companion;
    const std::string texts[] = {"1000:Parameter Save:Push to execute:100", "x", ""};
    for (const std::string& text : texts) {
        CKdUdpLink::SendTo(companion.port, text.c_str());
        EXPECT_EQ(companion.Receive(), text);
    }
}

} // namespace
