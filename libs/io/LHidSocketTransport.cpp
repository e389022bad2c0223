#include "LHidSocketTransport.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool LHidSocketTransport::Open(bool exclusive) {
    Close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (mPath.Length() >= sizeof address.sun_path) return false; // would be cut short
    memcpy(address.sun_path, mPath.CString(), mPath.Length());
    mDescriptor = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (mDescriptor < 0) return false;
    if (connect(mDescriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Close();
        return false;
    }
    return true;
}

bool LHidSocketTransport::WriteReport(const void* bytes, size_t length) {
    if (mDescriptor < 0) return false;
    return send(mDescriptor, bytes, length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
}

ssize_t LHidSocketTransport::ReadReport(void* buffer, size_t size) {
    // MSG_TRUNC yields the message's full length, so a cut report is recognised.
    ssize_t length = recv(mDescriptor, buffer, size, MSG_DONTWAIT | MSG_TRUNC);
    if (length > static_cast<ssize_t>(size)) {
        errno = EMSGSIZE;
        return -1;
    }
    if (length == 0) {
        // An empty message and the peer's close both read as 0; a close also signals a hang-up.
        pollfd entry{mDescriptor, POLLIN | POLLRDHUP, 0};
        if (poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLRDHUP))) {
            errno = ECONNRESET;
            return -1;
        }
    }
    return length;
}
