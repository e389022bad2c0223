#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// Row-data ("cyacd") text for tests: a header and rows whose checksum is the two's complement of
// the sum of the row's bytes, as firmware tools write them.
namespace RowDataFile {

inline std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

inline std::string Header(uint32_t siliconId, uint8_t revision, int checksumType = -1) {
    std::vector<uint8_t> bytes = {uint8_t(siliconId >> 24), uint8_t(siliconId >> 16),
                                  uint8_t(siliconId >> 8), uint8_t(siliconId), revision};
    if (checksumType >= 0) bytes.push_back(uint8_t(checksumType));
    return Hex(bytes);
}

inline std::string Row(uint8_t array, uint16_t row, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {array, uint8_t(row >> 8), uint8_t(row), uint8_t(data.size() >> 8),
                                  uint8_t(data.size())};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t byte : bytes)
        sum += byte;
    bytes.push_back(uint8_t(-sum));
    return ":" + Hex(bytes);
}

inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = uint8_t(seed + i * 7);
    return data;
}

// A file in the temporary directory, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& content, const char* suffix = ".cyacd") {
        char pattern[] = "/tmp/kaldo-test-XXXXXX";
        const int fd = mkstemp(pattern);
        mPath = std::string(pattern) + suffix;
        if (fd >= 0) {
            close(fd);
            unlink(pattern);
        }
        std::ofstream(mPath, std::ios::binary) << content;
    }
    ~TempFile() { unlink(mPath.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* Path() const { return mPath.c_str(); }

private:
    std::string mPath;
};

} // namespace RowDataFile
