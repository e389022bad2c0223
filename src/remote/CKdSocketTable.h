#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The UDP sockets of this network namespace as the kernel lists them in /proc/net/udp and
// /proc/net/udp6: which user owns the socket a datagram came from, and whether a listener has
// taken what was sent to it. Addresses are IPv4 in network byte order (sockaddr_in's s_addr).
class CKdSocketTable {
public:
    struct _SSocket {
        uint32_t mAddress;      // the local IPv4 address (also of an IPv4-mapped IPv6 socket)
        bool mAnyAddress;       // bound to 0.0.0.0 or :: (it sends from any local address)
        uint16_t mPort;         // the local port
        uint32_t mUid;          // the owner
        uint64_t mReceiveQueue; // bytes waiting to be read
    };

    enum EOwner { kOwnerFound, kNoSocket, kSeveralOwners };

    // Reads both tables; an unreadable table counts as empty.
    static std::vector<_SSocket> Current();
    // The sockets of one table's text; IPv6 sockets on other addresses than :: and IPv4-mapped
    // ones are left out, since they cannot send from an IPv4 address.
    static std::vector<_SSocket> Parse(std::string_view table);

    // The owner of the sockets that can have sent from address:port (bound to it, or to the
    // wildcard address, on that port). kNoSocket when there is none (the sender may have closed
    // it already); kSeveralOwners when they belong to different users.
    static EOwner OwnerOf(const std::vector<_SSocket>& sockets, uint32_t address, uint16_t port,
                          uint32_t& uid);
    // The bytes waiting at the socket bound to address:port (or the wildcard address on port);
    // -1 when none is bound.
    static long long ReceiveQueue(const std::vector<_SSocket>& sockets, uint32_t address,
                                  uint16_t port);
};
