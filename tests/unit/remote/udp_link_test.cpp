#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "CKdUdpLink.h"
#include "LPollRunLoop.h"
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
    ASSERT_TRUE(link.Listen(loop, [&](const uint8_t* bytes, size_t count) {
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

    // Any sender is heard; an ignored text gets no reply.
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
    EXPECT_FALSE(link.Listen(loop, [](const uint8_t*, size_t) {}));
    EXPECT_FALSE(link.IsListening());
    EXPECT_EQ(link.EventPort(), 0);
    link.Send("dropped"); // sending needs no listener
    EXPECT_EQ(CKdUdpLink::kEventPort, 51514);
    EXPECT_EQ(CKdUdpLink::kReplyPort, 51515);
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
