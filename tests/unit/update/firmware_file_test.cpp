// The one file check that kaldo-ctl, the update window and the updaters share: what is refused
// before a switcher is touched, and that nothing waits or grows without bound.
#include "CKdFirmwareFile.h"
#include "RowDataFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
using Kind = CKdFirmwareFile::EKind;

class FirmwareFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kaldo-fw-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(mDir); }
    std::string Path(const std::string& name) const { return mDir + "/" + name; }
    std::string Write(const std::string& name, const std::string& content) const {
        std::ofstream(Path(name), std::ios::binary) << content;
        return Path(name);
    }
    // A sparse file of size bytes.
    std::string Sparse(const std::string& name, off_t size) const {
        const int fd = open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        return Path(name);
    }
    std::string mDir;
};

TEST_F(FirmwareFile, RefusedBeforeTheSwitcherIsTouched) {
    mkdir(Path("folder.bin").c_str(), 0700);
    mkfifo(Path("pipe.bin").c_str(), 0600);
    mkfifo(Path("pipe.cyacd").c_str(), 0600);
    const std::string rows =
        RowDataFile::Header(0x2E123069, 0x11) + "\n" + RowDataFile::Row(0, 1, {1, 2, 3}) + "\n";
    struct Case {
        std::string path;
        Kind kind;
        std::string problem; // "" when the file is taken
    };
    const Case cases[] = {
        {Write("main.bin", "image"), Kind::kMainFirmware, ""},
        {Write("usb.cyacd", rows), Kind::kUsbController, ""},
        {Write("main.txt", "image"), Kind::kMainFirmware, "not a .bin file"},
        {Write("main.BIN", "image"), Kind::kMainFirmware, "not a .bin file"},
        {Write("usb.cyacd.bin", rows), Kind::kUsbController, "not a .cyacd file"},
        {Write("usb2.cyacd", rows), Kind::kMainFirmware, "not a .bin file"},
        {Path("missing.bin"), Kind::kMainFirmware, "does not exist"},
        {Path("folder.bin"), Kind::kMainFirmware, "is a directory"},
        {Path("pipe.bin"), Kind::kMainFirmware, "is a FIFO, not a file"},
        {Path("pipe.cyacd"), Kind::kUsbController, "is a FIFO, not a file"},
        {Write("empty.bin", ""), Kind::kMainFirmware, "is empty"},
        {"", Kind::kMainFirmware, "no file given"},
        {Sparse("huge.bin", off_t(1) << 30), Kind::kMainFirmware,
         "1073741824 bytes is more than the 16777216 bytes that a firmware file may have"},
        {Sparse("huge.cyacd", CKdFirmwareFile::kMaxFileBytes + 1), Kind::kUsbController,
         "16777217 bytes is more than the 16777216 bytes that a firmware file may have"},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        const CKdFirmwareFile::_SResult result = CKdFirmwareFile::Check(c.path.c_str(), c.kind);
        EXPECT_EQ(result.ok, c.problem.empty()) << c.path;
        EXPECT_EQ(result.problem, c.problem.empty()
                                      ? ""
                                      : (c.path.empty() ? "(no file)" : c.path) + ": " + c.problem);
    }
    // Nothing waited for a writer of a FIFO or read a gigabyte.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(FirmwareFile, MainImageIsReadWholeUpToTheCeiling) {
    std::vector<uint8_t> image;
    auto result = CKdFirmwareFile::ReadMainImage(Write("main.bin", "abc").c_str(), image);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.size, 3);
    EXPECT_EQ(image, (std::vector<uint8_t>{'a', 'b', 'c'}));

    const std::string largest = Sparse("largest.bin", CKdFirmwareFile::kMaxFileBytes);
    result = CKdFirmwareFile::ReadMainImage(largest.c_str(), image);
    EXPECT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(image.size(), size_t(CKdFirmwareFile::kMaxFileBytes));

    // /dev/zero never ends: refused as no regular file, not read until memory runs out.
    std::filesystem::create_symlink("/dev/zero", Path("zero.bin"));
    result = CKdFirmwareFile::ReadMainImage(Path("zero.bin").c_str(), image);
    EXPECT_EQ(result.problem, Path("zero.bin") + ": is not a regular file");
    EXPECT_TRUE(image.empty());
}

} // namespace
