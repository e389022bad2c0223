#include "Btldr_DataFile.h"
#include "RowDataFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
using RowDataFile::TempFile;

struct ReadResult {
    unsigned code;
    std::string line;
};

std::vector<ReadResult> ReadAll(const char* path, int reads) {
    std::vector<ReadResult> results;
    EXPECT_EQ(Btldr_OpenDataFile(path), 0u);
    char buffer[BTLDR_LINE_BUFFER_SIZE];
    for (int i = 0; i < reads; ++i) {
        unsigned long size = 99;
        const unsigned code = Btldr_ReadLine(&size, buffer);
        results.push_back({code, code ? "" : std::string(buffer, size)});
        if (code) {
            EXPECT_EQ(size, 0u);
        }
    }
    EXPECT_EQ(Btldr_CloseDataFile(), 0u);
    return results;
}

TEST(BootloaderDataFile, LineEndingsAndTheEndOfTheFile) {
    {
        TempFile file("A\r\n\nB\n");
        const auto lines = ReadAll(file.Path(), 4);
        EXPECT_EQ(lines[0].line, "A");
        EXPECT_EQ(lines[1].code, 0u); // an empty line is a line
        EXPECT_EQ(lines[1].line, "");
        EXPECT_EQ(lines[2].line, "B");
        EXPECT_EQ(lines[3].code, 2u); // final line break: no further line
    }
    {
        TempFile file("A\nB");
        const auto lines = ReadAll(file.Path(), 3);
        EXPECT_EQ(lines[1].line, "B");
        EXPECT_EQ(lines[2].code, 1u); // no final line break: already at the end
    }
    char buffer[BTLDR_LINE_BUFFER_SIZE];
    unsigned long size = 5;
    EXPECT_EQ(Btldr_ReadLine(&size, buffer), 1u); // nothing open
    EXPECT_EQ(Btldr_OpenDataFile("/nonexistent/x.cyacd"), 1u);
}

TEST(BootloaderDataFile, HexDigits) {
    EXPECT_EQ(Btldr_FromHex('7'), 7);
    EXPECT_EQ(Btldr_FromHex('b'), 11);
    EXPECT_EQ(Btldr_FromHex('F'), 15);
    EXPECT_EQ(Btldr_FromHex('g'), 0);
    uint8_t bytes[4] = {};
    unsigned long count = 9;
    EXPECT_EQ(Btldr_FromAscii(4, "a1Fz", &count, bytes), 0u);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes[0], 0xA1);
    EXPECT_EQ(bytes[1], 0xF0);
    EXPECT_EQ(Btldr_FromAscii(3, "a1F", &count, bytes), 3u);
    EXPECT_EQ(Btldr_FromAscii(0, "", &count, bytes), 0u);
    EXPECT_EQ(count, 0u);
}

TEST(BootloaderDataFile, HeaderOfFiveOrSixBytes) {
    uint32_t silicon = 0;
    uint8_t revision = 0, type = 0x55;
    EXPECT_EQ(Btldr_ParseHeader(10, "2E12306911", &silicon, &revision, &type), 0u);
    EXPECT_EQ(silicon, 0x2E123069u);
    EXPECT_EQ(revision, 0x11);
    EXPECT_EQ(type, 0x55); // left as it was
    EXPECT_EQ(Btldr_ParseHeader(14, "2E1230691101FF", &silicon, &revision, &type), 0u);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(Btldr_ParseHeader(8, "2E123069", &silicon, &revision, &type), 3u);
    EXPECT_EQ(Btldr_ParseHeader(11, "2E123069110", &silicon, &revision, &type), 3u);
}

TEST(BootloaderDataFile, RowLines) {
    const std::vector<uint8_t> data = RowDataFile::Pattern(128, 3);
    const std::string good = RowDataFile::Row(1, 0x0203, data);
    struct Case {
        std::string line;
        unsigned expected;
    };
    const Case cases[] = {
        {good, 0},
        {"", 3},
        {":00000", 3},                               // 6 characters
        {"X" + good.substr(1), 5},                   // no colon
        {good.substr(0, good.size() - 1), 3},        // odd digits
        {good.substr(0, good.size() - 4) + "00", 4}, // length 128, 127 data bytes
        {":0000000000", 4},                          // fields without a checksum byte
    };
    for (const Case& c : cases) {
        uint8_t array = 0, checksum = 0;
        uint16_t row = 0, length = 0;
        uint8_t rowData[BTLDR_MAX_ROW_DATA];
        EXPECT_EQ(Btldr_ParseRowData(c.line.size(), c.line.c_str(), &array, &row, rowData, &length,
                                     &checksum),
                  c.expected)
            << c.line;
        if (c.expected == 0) {
            EXPECT_EQ(array, 1);
            EXPECT_EQ(row, 0x0203);
            EXPECT_EQ(length, 128);
            EXPECT_EQ(std::vector<uint8_t>(rowData, rowData + length), data);
            // The row checksum makes all bytes sum to 0, so the check value is minus the data sum.
            uint8_t sum = 0;
            for (uint8_t byte : data)
                sum += byte;
            EXPECT_EQ(Btldr_RowCheckValue(array, row, length, checksum), uint8_t(-sum));
        }
    }
}

TEST(BootloaderDataFile, WholeFileCheckFindsTheFirstBadLine) {
    const std::string header = RowDataFile::Header(0x2E123069, 0x11);
    const std::string row = RowDataFile::Row(0, 1, {1, 2, 3});
    std::string badSum = row;
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    struct Case {
        const char* name;
        std::string content;
        unsigned expected;
        unsigned long line; // of the problem; the rows when there is none
    };
    const Case cases[] = {
        {"two rows", header + "\n" + row + "\n" + row + "\n", 0, 2},
        {"last row without a break", header + "\r\n" + row, 0, 1},
        {"empty file", "", 3, 1},
        {"header only", header + "\n", 14, 2},
        {"short header", "2E12\n" + row + "\n", 3, 1},
        {"header not hex", "2E12306G11\n" + row + "\n", 13, 1},
        {"trailing empty line", header + "\n" + row + "\n\n", 3, 3},
        {"no colon", header + "\n" + row + "\n;" + row.substr(1) + "\n", 5, 3},
        {"row checksum", header + "\n" + row + "\n" + badSum + "\n", 8, 3},
        {"row not hex", header + "\n" + row.substr(0, 12) + "x" + row.substr(13) + "\n", 13, 2},
        {"NUL in a row", header + "\n" + row.substr(0, 12) + '\0' + row.substr(13) + "\n", 13, 2},
        {"truncated row", header + "\n" + row.substr(0, row.size() - 2) + "\n", 4, 2},
        {"odd digits", header + "\n" + row.substr(0, row.size() - 1) + "\n", 3, 2},
        {"row too long", header + "\n" + RowDataFile::Row(0, 1, std::vector<uint8_t>(380)), 15, 2},
        {"array 64", header + "\n" + RowDataFile::Row(64, 1, {1}) + "\n", 9, 2},
        {"10k characters", header + "\n" + row + "\n:" + std::string(10000, '0') + "\n", 15, 3},
        {"random bytes", std::string("\x8f\x01\xfe\x00\x7f\n\x02", 7), 13, 1},
    };
    for (const Case& c : cases) {
        TempFile file(c.content);
        unsigned long line = 99, rows = 99;
        EXPECT_EQ(Btldr_CheckDataFile(file.Path(), &line, &rows), c.expected) << c.name;
        EXPECT_EQ(c.expected ? line : rows, c.line) << c.name;
    }
    unsigned long line = 0, rows = 0;
    EXPECT_EQ(Btldr_CheckDataFile("/nonexistent/x.cyacd", &line, &rows), 1u);
    EXPECT_EQ(Btldr_CheckDataFile("/tmp", &line, &rows), 1u); // a directory
    // A FIFO is refused at once, by the check and by a run alike, instead of waiting for a writer.
    const std::string fifo = "/tmp/kaldo-test-fifo-" + std::to_string(getpid()) + ".cyacd";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Btldr_CheckDataFile(fifo.c_str(), &line, &rows), 1u);
    EXPECT_EQ(Btldr_OpenDataFile(fifo.c_str()), 1u);
    unlink(fifo.c_str());
}

} // namespace
