#include "LReplacementFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

class ReplacementFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kaldo-replacement-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(mDir); }

    std::string Path(const std::string& name) const { return mDir + "/" + name; }
    static std::string Read(const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }
    // The names in the directory, sorted.
    std::string Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(mDir))
            names.insert(entry.path().filename());
        std::string joined;
        for (const std::string& name : names)
            joined += name + " ";
        return joined;
    }

    std::string mDir;
};

TEST_F(ReplacementFileTest, ReplacesTheTargetWholeWithItsMode) {
    std::ofstream(Path("a.json")) << "old";
    ASSERT_EQ(chmod(Path("a.json").c_str(), 0644), 0);
    LReplacementFile file(Path("a.json"));
    ASSERT_TRUE(file.Create());
    EXPECT_EQ(file.TemporaryPath().rfind(Path(".a.json."), 0), 0u) << file.TemporaryPath();
    ASSERT_TRUE(file.Write("new"));
    EXPECT_EQ(Read(Path("a.json")), "old") << "untouched until complete";
    ASSERT_TRUE(file.Commit(0640));
    EXPECT_EQ(Read(Path("a.json")), "new");
    struct stat info {};
    ASSERT_EQ(stat(Path("a.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_GE(fcntl(file.Descriptor(), F_GETFD), 0) << "open after the rename, for a lock";
    EXPECT_EQ(Names(), "a.json ");
}

// A failure leaves the target as it was and no temporary behind, and keeps its cause.
TEST_F(ReplacementFileTest, FailuresLeaveNothingBehind) {
    ASSERT_EQ(mkdir(Path("dir").c_str(), 0700), 0);
    EXPECT_FALSE(LReplacementFile::WriteWhole(Path("dir"), "text", 0600));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(LReplacementFile::WriteWhole(Path("missing/a.json"), "text", 0600));
    EXPECT_EQ(errno, ENOENT);
    {
        LReplacementFile abandoned(Path("b.json"));
        ASSERT_TRUE(abandoned.Create());
        ASSERT_TRUE(abandoned.Write("half"));
    }
    EXPECT_EQ(Names(), "dir ");
}

} // namespace
