#include "LString.h"

#include <gtest/gtest.h>

#include <string>

TEST(String, NullIsEmptyAndGrowthInSixteens) {
    LString null(nullptr);
    EXPECT_EQ(null.Length(), 0u);
    EXPECT_TRUE(null == "");
    EXPECT_TRUE(null == nullptr);
    EXPECT_STREQ(null.CString(), "");
    LString text("abc");
    text = static_cast<const char*>(nullptr); // empties, keeps the buffer
    EXPECT_TRUE(text == "");
    EXPECT_EQ(text.BufferSize(), 16u);

    LString grown("123456789012345"); // 15 bytes: capacity 16, then growth in sixteens
    EXPECT_EQ(grown.BufferSize(), 16u);
    grown << 'x';
    EXPECT_EQ(grown.BufferSize(), 32u);
    EXPECT_TRUE(grown == "123456789012345x");
    grown.AllocateBuffer(4); // never shrinks
    EXPECT_EQ(grown.BufferSize(), 32u);
}

TEST(String, AppendConcatenateCopyAndFormat) {
    LString a("ab");
    LString b = a + "cd";
    a += nullptr;
    a += "c";
    EXPECT_TRUE(a == "abc");
    EXPECT_TRUE(b == "abcd");
    a += a.CString(); // its own text
    EXPECT_TRUE(a == "abcabc");
    LString copy(b);
    copy += "e";
    EXPECT_TRUE(b == "abcd");
    EXPECT_TRUE(copy == "abcde");

    LString text;
    text.Format("%02X.%02X", 2, 1);
    EXPECT_TRUE(text == "02.01");
    std::string longText(1000, 'z');
    text.Format("%s!", longText.c_str());
    EXPECT_EQ(text.Length(), 1001u);
}
