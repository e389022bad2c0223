#include "CKdSocketTable.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

namespace {

// Lines as the kernel writes them (x86: each address word printed as the number in memory).
constexpr char kUdp[] =
    "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
    "timeout inode ref pointer drops\n"
    "  101: 0100007F:C93A 00000000:0000 07 00000000:00000040 00:00000000 00000000  1000        0 "
    "5101 2 0000000000000000 0\n"
    "  102: 00000000:9C41 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        0 "
    "5102 2 0000000000000000 0\n"
    "  103: 0100007F:9C42 00000000:0000 07 00000000:00000000 00:00000000 00000000 65534        0 "
    "5103 2 0000000000000000 0\n"
    "  104: 00000000:9C42 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        0 "
    "5104 2 0000000000000000 0\n"
    "  105: 0200007F:9C43 00000000:0000 07 00000000:00000000 00:00000000 00000000 65534        0 "
    "5105 2 0000000000000000 0\n"
    "  106: garbage\n";
constexpr char kUdp6[] =
    "  sl  local_address                         remote_address                        st "
    "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer drops\n"
    "  201: 00000000000000000000000000000000:9C44 00000000000000000000000000000000:0000 07 "
    "00000000:00000000 00:00000000 00000000     0        0 6201 2 0000000000000000 0\n"
    "  202: 0000000000000000FFFF00000100007F:9C45 00000000000000000000000000000000:0000 07 "
    "00000000:00000000 00:00000000 00000000  1000        0 6202 2 0000000000000000 0\n"
    "  203: 00000000000000000000000001000000:9C46 00000000000000000000000000000000:0000 07 "
    "00000000:00000000 00:00000000 00000000  1000        0 6203 2 0000000000000000 0\n";

TEST(SocketTable, OwnersOfTheSocketsThatCanHaveSent) {
    std::vector<CKdSocketTable::_SSocket> sockets = CKdSocketTable::Parse(kUdp);
    const std::vector<CKdSocketTable::_SSocket> sockets6 = CKdSocketTable::Parse(kUdp6);
    ASSERT_EQ(sockets.size(), 5u);  // the header and the broken line left out
    ASSERT_EQ(sockets6.size(), 2u); // ::1 cannot send from an IPv4 address
    sockets.insert(sockets.end(), sockets6.begin(), sockets6.end());

    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    struct Case {
        uint16_t port;
        CKdSocketTable::EOwner owner;
        uint32_t uid;
    };
    const Case cases[] = {
        {51514, CKdSocketTable::kOwnerFound, 1000}, // bound to 127.0.0.1
        {40001, CKdSocketTable::kOwnerFound, 1000}, // bound to 0.0.0.0
        {40002, CKdSocketTable::kSeveralOwners, 0}, // two users share the port
        {40003, CKdSocketTable::kNoSocket, 0},      // 127.0.0.2 only
        {40004, CKdSocketTable::kOwnerFound, 0},    // IPv6 :: also sends from 127.0.0.1
        {40005, CKdSocketTable::kOwnerFound, 1000}, // ::ffff:127.0.0.1
        {40006, CKdSocketTable::kNoSocket, 0},      // ::1
        {40007, CKdSocketTable::kNoSocket, 0},      // nothing at all
    };
    for (const Case& c : cases) {
        uint32_t uid = 12345;
        EXPECT_EQ(CKdSocketTable::OwnerOf(sockets, loopback, c.port, uid), c.owner) << c.port;
        if (c.owner == CKdSocketTable::kOwnerFound) {
            EXPECT_EQ(uid, c.uid) << c.port;
        }
    }
    EXPECT_EQ(CKdSocketTable::ReceiveQueue(sockets, loopback, 51514), 0x40);
    EXPECT_EQ(CKdSocketTable::ReceiveQueue(sockets, loopback, 40001), 0);
    EXPECT_EQ(CKdSocketTable::ReceiveQueue(sockets, loopback, 40007), -1);
}

} // namespace
