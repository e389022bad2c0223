#include "LStream.h"

#include <poll.h>
#include <unistd.h>

bool LStream::WaitReadable(int timeoutMs) {
    int fd = ReadDescriptor();
    if (fd < 0 || !IsOpened()) return false;
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0 && entry.revents != 0;
}

ssize_t LStream::Write(const void* bytes, unsigned long count) {
    int fd = WriteDescriptor();
    if (fd < 0 || !IsOpened()) return 0;
    return write(fd, bytes, count);
}

ssize_t LStream::Read(void* bytes, unsigned long count) {
    int fd = ReadDescriptor();
    if (fd < 0 || !IsOpened()) return 0;
    return read(fd, bytes, count);
}

LString LStream::ReadLine() {
    LString line;
    char byte = 0;
    do {
        if (Read(&byte, 1) != 1) return line;
    } while (byte == '\r' || byte == '\n');
    do {
        line << byte;
    } while (Read(&byte, 1) == 1 && byte != '\r' && byte != '\n');
    return line;
}
