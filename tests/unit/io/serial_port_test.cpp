#include "LSerialPort.h"

#include <gtest/gtest.h>

#include <cstring>
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
        ASSERT_EQ(openpty(&mMaster, &mSlave, name, nullptr, nullptr), 0);
        mPath = name;
        // Start from cooked settings so that a missing raw setup shows.
        termios cooked{};
        ASSERT_EQ(tcgetattr(mMaster, &cooked), 0);
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_oflag |= OPOST;
        cooked.c_cflag |= PARENB;
        cfsetspeed(&cooked, B9600);
        ASSERT_EQ(tcsetattr(mMaster, TCSANOW, &cooked), 0);
        close(mSlave);
    }
    void TearDown() override { close(mMaster); }

    termios Settings() const {
        termios settings{};
        tcgetattr(mMaster, &settings);
        return settings;
    }
    speed_t OutputSpeed() const {
        termios settings = Settings();
        return cfgetospeed(&settings);
    }

    // Tries to open the port from a child process; true when the child succeeded.
    bool OpensInOtherProcess() const {
        pid_t child = fork();
        if (child == 0) {
            LSerialPort port(mPath.c_str());
            _exit(port.Open() ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    int mMaster = -1;
    int mSlave = -1;
    std::string mPath;
};

TEST_F(SerialPortTest, OpenAppliesRawSettingsAtTheSpeedSetBeforehand) {
    LSerialPort port(mPath.c_str());
    EXPECT_EQ(port.Speed(), 9600);
    EXPECT_TRUE(port.SetSpeed(115200));
    EXPECT_FALSE(port.IsOpened());
    EXPECT_EQ(OutputSpeed(), B9600) << "a closed port changes nothing";

    ASSERT_TRUE(port.Open());
    termios settings = Settings();
    EXPECT_EQ(cfgetospeed(&settings), B115200);
    EXPECT_EQ(cfgetispeed(&settings), B115200);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CREAD | CLOCAL),
              tcflag_t(CS8 | CREAD | CLOCAL));
    EXPECT_EQ(settings.c_lflag, 0u);
    EXPECT_EQ(settings.c_iflag, 0u);
    EXPECT_EQ(settings.c_oflag, 0u);
    EXPECT_EQ(settings.c_cc[VMIN], 0);
    EXPECT_EQ(settings.c_cc[VTIME], 1);
    EXPECT_TRUE(fcntl(port.Descriptor(), F_GETFL) & O_NONBLOCK);

    // Bytes pass unchanged both ways; an idle read returns at once with nothing.
    const unsigned char packet[] = {'M', 'V', 0x15, 0x01, 0x00, '\n', 0x03};
    EXPECT_EQ(port.Write(packet, sizeof packet), ssize_t(sizeof packet));
    unsigned char received[16] = {};
    EXPECT_EQ(read(mMaster, received, sizeof received), ssize_t(sizeof packet));
    EXPECT_EQ(memcmp(received, packet, sizeof packet), 0);
    EXPECT_LE(port.Read(received, sizeof received), 0);

    EXPECT_TRUE(port.SetSpeed(57600));
    EXPECT_EQ(OutputSpeed(), B57600);
    EXPECT_FALSE(port.SetSpeed(12345)) << "no such terminal speed";
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedUntilTheFirstCloses) {
    LSerialPort first(mPath.c_str());
    ASSERT_TRUE(first.Open());
    int exclusive = 0;
    ASSERT_EQ(ioctl(first.Descriptor(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    LSerialPort second(mPath.c_str());
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.Descriptor(), -1);
    EXPECT_FALSE(OpensInOtherProcess());

    // Reopening the held port closes and opens it again; it stays exclusive.
    EXPECT_TRUE(first.Open());
    EXPECT_TRUE(first.IsOpened());
    EXPECT_FALSE(second.Open());

    first.Close();
    EXPECT_TRUE(OpensInOtherProcess());
    EXPECT_TRUE(second.Open());
}

TEST(SerialPort, MissingPathFailsAndStaysClosed) {
    LSerialPort port("/dev/kaldo-no-such-node");
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.Descriptor(), -1);
    char byte = 0;
    EXPECT_EQ(port.Write(&byte, 1), 0);
}

} // namespace
