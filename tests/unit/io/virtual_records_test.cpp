#include "LIOVirtualDeviceDir.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

// A fresh record directory per test, and the events the watcher reports on a poll loop.
class VirtualRecordsTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kaldo-records-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mBase = pattern;
        mDir = mBase + "/devices"; // missing: the watcher creates it
        mWatcher = std::make_unique<LIOVirtualDeviceDir>(mDir.c_str());
        ASSERT_TRUE(mWatcher->Start(
            &mLoop, [this](const LIOService& s) { mEvents.push_back("+" + Session(s)); },
            [this](const LIOService& s) { mEvents.push_back("-" + Session(s)); }));
    }
    void TearDown() override {
        mWatcher.reset();
        EXPECT_EQ(system(("rm -rf " + mBase).c_str()), 0);
    }

    static std::string Session(const LIOService& service) {
        return std::to_string(service.Int64Value(kIOSessionIDKey, 0) & 0xFFFF);
    }
    std::string Path(const std::string& name) const { return mDir + "/" + name; }
    // Writes a record file and reads it back as ReadRecord does.
    bool WriteAndRead(const std::string& text, LIOService& service) const {
        std::ofstream(Path("sim.dev")) << text;
        return LIOVirtualDeviceDir::ReadRecord(Path("sim.dev").c_str(), service);
    }
    static std::string Record(int session) {
        return "kind=serial\nvendor=0x1209\nproduct=0x4b31\nsession=" + std::to_string(session) +
               "\ntty=/dev/pts/9\n";
    }

    std::string mBase;
    std::string mDir;
    LPollRunLoop mLoop;
    std::unique_ptr<LIOVirtualDeviceDir> mWatcher;
    Events mEvents;
};

TEST_F(VirtualRecordsTest, RecordIsReadUnderTheRegistryKeys) {
    LIOService service;
    ASSERT_TRUE(WriteAndRead("kind=serial\r\nvendor=0x1209\nproduct=0x4b31\nserial=K1SIM00001\n"
                             "location=0x09100000\nsession=4611686018427387905\ntty=/dev/pts/3\n"
                             "colour=blue\n",
                             service));
    EXPECT_EQ(service.Int64Value(kIOVendorIDKey, 0), 0x1209);
    EXPECT_EQ(service.Int64Value(kIOProductIDKey, 0), 0x4b31);
    EXPECT_EQ(service.StringValue(kIOSerialNumberKey), "K1SIM00001");
    EXPECT_EQ(service.Int64Value(kIOLocationIDKey, 0), 0x09100000);
    EXPECT_EQ(service.Int64Value(kIOSessionIDKey, 0), 4611686018427387905);
    EXPECT_EQ(service.StringValue(kIOTtyPathKey), "/dev/pts/3");

    // Virtual sessions always carry bit 62 and never the manual entries' bit 61.
    ASSERT_TRUE(WriteAndRead(Record(1) + "session=2305843009213693959\n", service)); // last wins
    EXPECT_EQ(service.Int64Value(kIOSessionIDKey, 0), kIOVirtualSessionBit | 7);

    // Required keys: vendor, product, session, and the path its kind needs; numbers must parse
    // and the whole record fit in 4096 bytes.
    const std::string incomplete[] = {
        "kind=serial\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        "kind=serial\nvendor=0x1209\nproduct=0x4b31\ntty=/dev/pts/1\n",
        "kind=hid\nvendor=0x1209\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        "vendor=0x1209\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        "kind=serial\nvendor=xyz\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        Record(5) + "product_name=" + std::string(4096, 'x'),
    };
    for (const std::string& text : incomplete)
        EXPECT_FALSE(WriteAndRead(text, service)) << text.substr(0, 80);
    EXPECT_FALSE(LIOVirtualDeviceDir::ReadRecord(Path("none.dev").c_str(), service));
    EXPECT_TRUE(LIOVirtualDeviceDir::IsRecordName("sim-1.dev"));
    EXPECT_FALSE(LIOVirtualDeviceDir::IsRecordName(".sim-1.dev"));
    EXPECT_FALSE(LIOVirtualDeviceDir::IsRecordName(".dev"));
}

TEST_F(VirtualRecordsTest, HalfWrittenRecordIsNeverRead) {
    // The publisher's temporary file is ignored however complete it is.
    std::ofstream(Path(".c.tmp")) << Record(4);
    mLoop.RunOnce(100);
    EXPECT_TRUE(mEvents.empty());

    // A record written in place is read only once its writer has closed it.
    int fd = open(Path("d.dev").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string text = Record(5);
    ASSERT_EQ(write(fd, text.data(), 20), 20);
    mLoop.RunOnce(100);
    EXPECT_TRUE(mEvents.empty());
    EXPECT_TRUE(LIOVirtualDeviceDir(mDir.c_str()).ReadRecords().empty()) << "a half record";
    ASSERT_EQ(write(fd, text.data() + 20, text.size() - 20), ssize_t(text.size() - 20));
    close(fd);
    mLoop.RunOnce(100);
    EXPECT_EQ(mEvents, (Events{"+5"}));
}

TEST(VirtualRecordsDir, DirectoryFollowsTheEnvironment) {
    setenv("KALDO_DEVICE_DIR", "/tmp/explicit", 1);
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(LIOVirtualDeviceDir::DefaultPath(), "/tmp/explicit");
    unsetenv("KALDO_DEVICE_DIR");
    EXPECT_EQ(LIOVirtualDeviceDir::DefaultPath(), "/run/user/1000/kaldo/devices");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(std::string(LIOVirtualDeviceDir::DefaultPath()),
              "/tmp/kaldo-" + std::to_string(getuid()) + "/devices");
}

} // namespace
