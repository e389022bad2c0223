#include "LSerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

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

// Character device majors of the nodes a switcher appears on (Linux devices.txt).
struct MajorRange {
    unsigned first;
    unsigned last;
};
constexpr MajorRange kSerialMajors[] = {
    {136, 143}, // pseudo-terminal slaves, /dev/pts/N (kaldo-sim)
    {166, 166}, // USB ACM modems, /dev/ttyACMN (the switcher's CDC interface)
    {188, 188}, // USB serial converters, /dev/ttyUSBN
};

// The controlling terminal, from the tty_nr field of /proc/self/stat; 0 when there is none.
dev_t ControllingTerminal() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    // The command name (field 2) may hold spaces and parentheses: count from its end.
    const size_t end = line.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(line.substr(end + 1));
    std::string state;
    long long parent = 0, group = 0, session = 0, tty = 0;
    fields >> state >> parent >> group >> session >> tty;
    const auto encoded = static_cast<unsigned long long>(tty);
    return makedev((encoded >> 8) & 0xFFF, (encoded & 0xFF) | ((encoded >> 12) & 0xFFF00));
}

// Whether node is the controlling terminal or the terminal of a standard descriptor.
bool IsOwnTerminal(dev_t node) {
    if (node == ControllingTerminal()) return true;
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info {};
        if (fstat(descriptor, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == node)
            return true;
    }
    return false;
}

bool SetSpeedCode(termios& settings, int bitsPerSecond) {
    for (const SpeedCode& entry : kSpeedCodes)
        if (entry.bitsPerSecond == bitsPerSecond) return cfsetspeed(&settings, entry.code) == 0;
    return false;
}
} // namespace

LSerialPort::ENodeKind LSerialPort::NodeKind(const struct stat& info) {
    if (!S_ISCHR(info.st_mode)) return ENodeKind::NotSerial;
    const unsigned deviceMajor = major(info.st_rdev);
    bool serial = false;
    for (const MajorRange& range : kSerialMajors)
        serial = serial || (deviceMajor >= range.first && deviceMajor <= range.last);
    if (!serial) return ENodeKind::NotSerial;
    return IsOwnTerminal(info.st_rdev) ? ENodeKind::OwnTerminal : ENodeKind::Accepted;
}

LSerialPort::LSerialPort(const char* path) : LFile(path) {
    SetOpenFlags(O_RDWR | O_NONBLOCK | O_SYNC | O_NOCTTY);
}

LSerialPort::~LSerialPort() {
    LSerialPort::Close();
}

bool LSerialPort::Open() {
    Close();
    // A character device is judged before it is opened: opening one can act (a modem line
    // rises, the terminal of this process is taken). Anything else is judged once open, so that
    // a missing or forbidden path fails with its own error.
    struct stat info {};
    if (stat(mPath, &info) == 0 && S_ISCHR(info.st_mode) && NodeKind(info) != ENodeKind::Accepted) {
        errno = ENOTTY;
        return false;
    }
    if (!LFile::Open()) return false;
    if (fstat(mDescriptor, &info) != 0 || NodeKind(info) != ENodeKind::Accepted) {
        Close();
        errno = ENOTTY;
        return false;
    }
    if (flock(mDescriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        Close();
        errno = error;
        return false;
    }
    termios settings{};
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
