#include "LHidRawTransport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <vector>

bool LHidRawTransport::Open(bool exclusive) {
    Close();
    mDescriptor = open(mPath, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (mDescriptor < 0) return false;
    if (exclusive && flock(mDescriptor, LOCK_EX | LOCK_NB) != 0) {
        Close();
        return false;
    }
    return true;
}

bool LHidRawTransport::WriteReport(const void* bytes, size_t length) {
    if (mDescriptor < 0) return false;
    std::vector<unsigned char> report(length + 1, 0);
    if (length) memcpy(report.data() + 1, bytes, length);
    return write(mDescriptor, report.data(), report.size()) == static_cast<ssize_t>(report.size());
}

// hidraw hands over unnumbered input reports without an ID byte: one read is one report.
ssize_t LHidRawTransport::ReadReport(void* buffer, size_t size) {
    return read(mDescriptor, buffer, size);
}
