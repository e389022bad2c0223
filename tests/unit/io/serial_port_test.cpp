#include "LSerialPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A pseudo-terminal whose slave side stands for the switcher's serial node. The master keeps the
// slave alive and reads the slave's settings.
class SerialPortTest : public testing::Test {
protected:
    void SetUp() override {
        char name[64] = {};
        int slave = -1;
        ASSERT_EQ(openpty(&mMaster, &slave, name, nullptr, nullptr), 0);
        mPath = name;
        // Start from cooked settings so that a missing raw setup shows.
        termios cooked{};
        ASSERT_EQ(tcgetattr(mMaster, &cooked), 0);
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_oflag |= OPOST;
        cooked.c_cflag |= PARENB;
        cfsetspeed(&cooked, B9600);
        ASSERT_EQ(tcsetattr(mMaster, TCSANOW, &cooked), 0);
        close(slave);
    }
    void TearDown() override { close(mMaster); }

    termios Settings() const {
        termios settings{};
        tcgetattr(mMaster, &settings);
        return settings;
    }

    int mMaster = -1;
    std::string mPath;
};

TEST_F(SerialPortTest, OpenAppliesRawSettingsAtTheSpeedSetBeforehand) {
    LSerialPort port(mPath.c_str());
    EXPECT_TRUE(port.SetSpeed(115200));
    termios settings = Settings();
    EXPECT_EQ(cfgetospeed(&settings), B9600) << "a closed port changes nothing";

    ASSERT_TRUE(port.Open());
    settings = Settings();
    EXPECT_EQ(cfgetospeed(&settings), B115200);
    EXPECT_EQ(cfgetispeed(&settings), B115200);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CREAD | CLOCAL),
              tcflag_t(CS8 | CREAD | CLOCAL));
    EXPECT_EQ(settings.c_lflag | settings.c_iflag | settings.c_oflag, 0u);
    EXPECT_EQ(settings.c_cc[VMIN], 0);
    EXPECT_EQ(settings.c_cc[VTIME], 1);
    EXPECT_TRUE(fcntl(port.Descriptor(), F_GETFL) & O_NONBLOCK);
    unsigned char idle[4];
    EXPECT_LE(port.Read(idle, sizeof idle), 0) << "an idle read returns at once";

    EXPECT_TRUE(port.SetSpeed(57600));
    settings = Settings();
    EXPECT_EQ(cfgetospeed(&settings), B57600);
    EXPECT_FALSE(port.SetSpeed(12345)) << "no such terminal speed";
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedUntilTheFirstCloses) {
    LSerialPort first(mPath.c_str());
    ASSERT_TRUE(first.Open());
    int exclusive = 0;
    ASSERT_EQ(ioctl(first.Descriptor(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    // The flock holds against any other open of the node, in this process or another.
    LSerialPort second(mPath.c_str());
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.Descriptor(), -1);

    // Reopening the held port closes and opens it again; it stays exclusive.
    EXPECT_TRUE(first.Open());
    EXPECT_TRUE(first.IsOpened());
    EXPECT_FALSE(second.Open());

    // The exclusive flag belongs to the terminal: closing gives it up for the next opener.
    first.Close();
    const int other = open(mPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(other);
    EXPECT_TRUE(second.Open());

    LSerialPort missing("/dev/kaldo-no-such-node");
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ(missing.Descriptor(), -1);
}

// Answers to an earlier user of the node must not reach this one.
TEST_F(SerialPortTest, InputWaitingBeforeOpenIsDiscarded) {
    LSerialPort port(mPath.c_str());
    ASSERT_TRUE(port.Open());
    port.Close(); // the line has been set raw, so the bytes below are not held as a line

    ASSERT_EQ(write(mMaster, "stale", 5), 5);
    ASSERT_TRUE(port.Open());
    ASSERT_EQ(write(mMaster, "fresh", 5), 5);
    std::string received;
    char chunk[16];
    for (int i = 0; i < 20 && received.size() < 5; ++i) {
        port.WaitReadable(50);
        const ssize_t count = port.Read(chunk, sizeof chunk);
        if (count > 0) received.append(chunk, size_t(count));
    }
    EXPECT_EQ(received, "fresh");
}

// Only the nodes a switcher is reached on are opened, and never a terminal of this process:
// other character devices are refused unopened, a terminal of this process is left as it is.
TEST_F(SerialPortTest, OnlySerialNodesThatAreNotThisProcesssTerminalsOpen) {
    for (const char* path : {"/dev/null", "/dev/tty", "/dev/zero"}) {
        LSerialPort port(path);
        EXPECT_FALSE(port.Open()) << path;
        EXPECT_EQ(errno, ENOTTY) << path;
    }

    // The pseudo-terminal as this process's standard error.
    const int savedError = dup(STDERR_FILENO);
    const int slave = open(mPath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    dup2(slave, STDERR_FILENO);
    LSerialPort port(mPath.c_str());
    const bool opened = port.Open();
    const int error = errno;
    dup2(savedError, STDERR_FILENO);
    close(savedError);
    EXPECT_FALSE(opened);
    EXPECT_EQ(error, ENOTTY);

    // The pseudo-terminal as the controlling terminal of a new session.
    const pid_t child = fork();
    if (child == 0) {
        close(STDIN_FILENO);
        setsid();
        if (ioctl(slave, TIOCSCTTY, 0) != 0) _exit(2);
        LSerialPort own(mPath.c_str());
        _exit(own.Open() ? 1 : errno == ENOTTY ? 0 : 3);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    close(slave);
    EXPECT_TRUE(port.Open()) << "the same node, no terminal of this process any more";
}

} // namespace
