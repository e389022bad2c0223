#include "LFile.h"
#include "LPipe.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

TEST(Stream, ReadLineSkipsLeadingBreaksAndStopsAtTerminator) {
    LPipe pipe;
    ASSERT_TRUE(pipe.Open());
    const char bytes[] = "\r\nabc\rdef\n";
    ASSERT_EQ(pipe.Write(bytes, sizeof bytes - 1), ssize_t(sizeof bytes - 1));
    EXPECT_TRUE(pipe.ReadLine() == "abc");
    EXPECT_TRUE(pipe.ReadLine() == "def");
    EXPECT_TRUE(pipe.ReadLine() == ""); // nothing left: the non-blocking read fails

    ASSERT_EQ(pipe.Write("\r\n", 2), 2);
    EXPECT_TRUE(pipe.ReadLine() == "");
}

TEST(Stream, PipeWaitFlushAndClose) {
    LPipe pipe;
    EXPECT_FALSE(pipe.IsOpened());
    EXPECT_FALSE(pipe.WaitReadable(0));
    EXPECT_EQ(pipe.Write("x", 1), 0); // closed: nothing moves
    ASSERT_TRUE(pipe.Open());
    EXPECT_FALSE(pipe.WaitReadable(10));
    char big[100] = {};
    ASSERT_EQ(pipe.Write(big, sizeof big), ssize_t(sizeof big));
    EXPECT_TRUE(pipe.WaitReadable(0));
    pipe.FlushReadData();
    EXPECT_FALSE(pipe.WaitReadable(10));
    pipe.Close();
    EXPECT_FALSE(pipe.IsOpened());
    char byte;
    EXPECT_EQ(pipe.Read(&byte, 1), 0);
}

TEST(File, LengthOpenWriteAndMissingPath) {
    const char* dir = getenv("TMPDIR");
    const std::string path =
        std::string(dir ? dir : "/tmp") + "/kaldo-" + std::to_string(getpid()) + "-file";
    LFile file(path.c_str());
    EXPECT_EQ(file.Length(), 0);        // missing path
    EXPECT_EQ(file.Write("abc", 3), 0); // not opened: no system call
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Write("abcdef", 6), 6);
    file.DrainWriteData();
    EXPECT_EQ(file.Length(), 6);
    ASSERT_TRUE(file.Open()); // reopening closes first
    char bytes[3];
    EXPECT_EQ(file.Read(bytes, 3), 3);
    file.Close();
    EXPECT_EQ(file.Descriptor(), -1);
    unlink(path.c_str());

    LFile missing("/nonexistent-dir/x");
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ(missing.Descriptor(), -1);
}
