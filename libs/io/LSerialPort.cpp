#include "LSerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
struct SpeedCode {
    int bitsPerSecond;
    speed_t code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SetSpeedCode(termios& settings, int bitsPerSecond) {
    for (const SpeedCode& entry : kSpeedCodes)
        if (entry.bitsPerSecond == bitsPerSecond) return cfsetspeed(&settings, entry.code) == 0;
    return false;
}
} // namespace

LSerialPort::LSerialPort(const char* path) : LFile(path) {
    SetOpenFlags(O_RDWR | O_NONBLOCK | O_SYNC | O_NOCTTY);
}

LSerialPort::~LSerialPort() {
    LSerialPort::Close();
}

bool LSerialPort::Open() {
    termios settings{};
    if (!LFile::Open() || flock(mDescriptor, LOCK_EX | LOCK_NB) != 0) {
        Close();
        return false;
    }
    mExclusive = ioctl(mDescriptor, TIOCEXCL) == 0;
    const bool opened = mExclusive && MakeTermios(settings) &&
                        tcsetattr(mDescriptor, TCSAFLUSH, &settings) == 0 &&
                        tcflush(mDescriptor, TCIFLUSH) == 0;
    if (!opened) Close();
    return opened;
}

void LSerialPort::Close() {
    if (mExclusive && mDescriptor >= 0) ioctl(mDescriptor, TIOCNXCL);
    mExclusive = false;
    LFile::Close();
}

bool LSerialPort::MakeTermios(termios& settings) {
    if (tcgetattr(mDescriptor, &settings) != 0) return false;
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 1;
    // The control flags carry the speed bits here, so they are set before the speed.
    settings.c_cflag = CS8 | CREAD | CLOCAL;
    settings.c_iflag = 0;
    settings.c_oflag = 0;
    settings.c_lflag = 0;
    return SetSpeedCode(settings, mSpeed);
}

bool LSerialPort::SetSpeed(int bitsPerSecond) {
    mSpeed = bitsPerSecond;
    if (!IsOpened()) return true;
    termios settings{};
    if (tcgetattr(mDescriptor, &settings) != 0 || !SetSpeedCode(settings, mSpeed)) return false;
    tcdrain(mDescriptor);
    if (tcsetattr(mDescriptor, TCSAFLUSH, &settings) != 0) return false;
    return tcgetattr(mDescriptor, &settings) == 0;
}

void LSerialPort::FlushReadData() {
    if (ReadDescriptor() >= 0) tcflush(ReadDescriptor(), TCIFLUSH);
}

void LSerialPort::FlushWriteData() {
    if (WriteDescriptor() >= 0) tcflush(WriteDescriptor(), TCOFLUSH);
}

void LSerialPort::DrainWriteData() {
    if (WriteDescriptor() >= 0) tcdrain(WriteDescriptor());
}
