#include "SimPty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

bool SimPty::Open(std::string& error) {
    Close();
    mMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* name = mMaster >= 0 && grantpt(mMaster) == 0 && unlockpt(mMaster) == 0
                           ? ptsname(mMaster)
                           : nullptr;
    if (name) {
        mSlavePath = name;
        mSlave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    termios settings{};
    if (mSlave < 0 || tcgetattr(mSlave, &settings) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    cfmakeraw(&settings);
    cfsetspeed(&settings, B115200);
    tcsetattr(mSlave, TCSANOW, &settings);
    fcntl(mMaster, F_SETFL, fcntl(mMaster, F_GETFL) | O_NONBLOCK);
    return true;
}

void SimPty::Close() {
    if (mSlave >= 0) close(mSlave);
    if (mMaster >= 0) close(mMaster);
    mSlave = mMaster = -1;
    mSlavePath.clear();
}

long SimPty::Read(uint8_t* buffer, size_t size) {
    const ssize_t n = read(mMaster, buffer, size);
    if (n >= 0) return n;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

bool SimPty::Write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(mMaster, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
