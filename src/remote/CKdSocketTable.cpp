#include "CKdSocketTable.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <string>

namespace {

constexpr const char* kTables[] = {"/proc/net/udp", "/proc/net/udp6"};

// Columns of a table line: "sl local_address rem_address st tx_queue:rx_queue tr:tm->when
// retrnsmt uid ...".
constexpr size_t kLocalColumn = 1;
constexpr size_t kQueuesColumn = 4;
constexpr size_t kUidColumn = 7;

std::vector<std::string_view> Columns(std::string_view line) {
    std::vector<std::string_view> columns;
    size_t start = line.find_first_not_of(' ');
    while (start != line.npos) {
        const size_t end = line.find(' ', start);
        columns.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(' ', end);
    }
    return columns;
}

template <class Number>
bool ParseNumber(std::string_view text, int base, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "0100007F:C93A" or 32 hex digits and a port. The kernel prints each 32-bit word of the
// address as the number it is in memory, so a word read back is the address in network order.
bool ParseLocal(std::string_view text, CKdSocketTable::_SSocket& socket) {
    const size_t colon = text.find(':');
    if (colon == text.npos || !ParseNumber(text.substr(colon + 1), 16, socket.mPort)) return false;
    const std::string_view address = text.substr(0, colon);
    if (address.size() != 8 && address.size() != 32) return false;
    uint32_t words[4] = {};
    const size_t count = address.size() / 8;
    for (size_t k = 0; k < count; ++k)
        if (!ParseNumber(address.substr(8 * k, 8), 16, words[k])) return false;
    if (count == 1) {
        socket.mAddress = words[0];
        socket.mAnyAddress = words[0] == 0;
        return true;
    }
    const bool any = words[0] == 0 && words[1] == 0 && words[2] == 0 && words[3] == 0;
    const bool mapped = words[0] == 0 && words[1] == 0 && words[2] == htonl(0xFFFF);
    socket.mAddress = mapped ? words[3] : 0;
    socket.mAnyAddress = any;
    return any || mapped;
}

bool ParseLine(std::string_view line, CKdSocketTable::_SSocket& socket) {
    const std::vector<std::string_view> columns = Columns(line);
    if (columns.size() <= kUidColumn || !ParseLocal(columns[kLocalColumn], socket)) return false;
    const std::string_view queues = columns[kQueuesColumn];
    const size_t colon = queues.find(':');
    return colon != queues.npos &&
           ParseNumber(queues.substr(colon + 1), 16, socket.mReceiveQueue) &&
           ParseNumber(columns[kUidColumn], 10, socket.mUid);
}

// The whole table; the kernel writes it in pieces, one read at a time.
std::string ReadTable(const char* path) {
    std::string text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[16384];
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(count));
    close(fd);
    return text;
}

bool Matches(const CKdSocketTable::_SSocket& socket, uint32_t address, uint16_t port) {
    return socket.mPort == port && (socket.mAnyAddress || socket.mAddress == address);
}

} // namespace

std::vector<CKdSocketTable::_SSocket> CKdSocketTable::Current() {
    std::vector<_SSocket> sockets;
    for (const char* path : kTables) {
        const std::vector<_SSocket> table = Parse(ReadTable(path));
        sockets.insert(sockets.end(), table.begin(), table.end());
    }
    return sockets;
}

std::vector<CKdSocketTable::_SSocket> CKdSocketTable::Parse(std::string_view table) {
    std::vector<_SSocket> sockets;
    for (size_t start = 0; start < table.size();) {
        size_t end = table.find('\n', start);
        if (end == table.npos) end = table.size();
        _SSocket socket{};
        if (ParseLine(table.substr(start, end - start), socket)) sockets.push_back(socket);
        start = end + 1;
    }
    return sockets;
}

CKdSocketTable::EOwner CKdSocketTable::OwnerOf(const std::vector<_SSocket>& sockets,
                                               uint32_t address, uint16_t port, uint32_t& uid) {
    bool found = false;
    for (const _SSocket& socket : sockets) {
        if (!Matches(socket, address, port)) continue;
        if (found && socket.mUid != uid) return kSeveralOwners;
        uid = socket.mUid;
        found = true;
    }
    return found ? kOwnerFound : kNoSocket;
}

long long CKdSocketTable::ReceiveQueue(const std::vector<_SSocket>& sockets, uint32_t address,
                                       uint16_t port) {
    for (const _SSocket& socket : sockets)
        if (Matches(socket, address, port)) return static_cast<long long>(socket.mReceiveQueue);
    return -1;
}
