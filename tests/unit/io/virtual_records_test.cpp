#include "LIOVirtualDeviceDir.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kSerialRecord[] = "kind=serial\n"
                                 "vendor=0x1209\n"
                                 "product=0x4b31\n"
                                 "vendor_name=Kaldo Systems\n"
                                 "product_name=KALDO-1\n"
                                 "serial=K1SIM00001\n"
                                 "location=0x09100000\n"
                                 "session=4611686018427387905\n"
                                 "tty=/dev/pts/3\n"
                                 "colour=blue\n";

// A fresh record directory per test, and the events the watcher reports on a poll loop.
class VirtualRecordsTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kaldo-records-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        mBase = pattern;
        mDir = mBase + "/devices"; // missing: the watcher creates it
    }
    void TearDown() override {
        mWatcher.reset();
        std::string command = "rm -rf " + mBase;
        EXPECT_EQ(system(command.c_str()), 0);
    }

    void Start() {
        mWatcher = std::make_unique<LIOVirtualDeviceDir>(mDir.c_str());
        ASSERT_TRUE(mWatcher->Start(
            &mLoop, [this](const LIOService& s) { mEvents.push_back("+" + Session(s)); },
            [this](const LIOService& s) { mEvents.push_back("-" + Session(s)); }));
    }
    static std::string Session(const LIOService& service) {
        return std::to_string(service.Int64Value(kIOSessionIDKey, 0) & 0xFFFF);
    }
    std::string Path(const std::string& name) const { return mDir + "/" + name; }
    void Write(const std::string& name, const std::string& text) const {
        FILE* file = fopen(Path(name).c_str(), "w");
        ASSERT_NE(file, nullptr);
        fputs(text.c_str(), file);
        fclose(file);
    }
    static std::string Record(int session, const char* tty = "/dev/pts/9") {
        return "kind=serial\nvendor=0x1209\nproduct=0x4b31\nsession=" + std::to_string(session) +
               "\ntty=" + tty + "\n";
    }
    void Pump() { mLoop.RunOnce(100); }

    std::string mBase;
    std::string mDir;
    LPollRunLoop mLoop;
    std::unique_ptr<LIOVirtualDeviceDir> mWatcher;
    std::vector<std::string> mEvents;
};

using Events = std::vector<std::string>;

TEST_F(VirtualRecordsTest, RecordIsReadUnderTheRegistryKeys) {
    Start();
    Write("sim.dev", kSerialRecord);
    LIOService service;
    ASSERT_TRUE(LIOVirtualDeviceDir::ReadRecord(Path("sim.dev").c_str(), service));
    EXPECT_EQ(service.Int64Value(kIOVendorIDKey, 0), 0x1209);
    EXPECT_EQ(service.Int64Value(kIOProductIDKey, 0), 0x4b31);
    EXPECT_EQ(service.StringValue(kIOVendorNameKey), "Kaldo Systems");
    EXPECT_EQ(service.StringValue(kIOProductNameKey), "KALDO-1");
    EXPECT_EQ(service.StringValue(kIOSerialNumberKey), "K1SIM00001");
    EXPECT_EQ(service.Int64Value(kIOLocationIDKey, 0), 0x09100000);
    EXPECT_EQ(service.Int64Value(kIOSessionIDKey, 0), 4611686018427387905);
    EXPECT_EQ(service.StringValue(kIOTtyPathKey), "/dev/pts/3");

    // Virtual sessions always carry bit 62 and never the manual entries' bit 61.
    Write("plain.dev", Record(1) + "session=2305843009213693959\n"); // the last line wins
    ASSERT_TRUE(LIOVirtualDeviceDir::ReadRecord(Path("plain.dev").c_str(), service));
    EXPECT_EQ(service.Int64Value(kIOSessionIDKey, 0), kIOVirtualSessionBit | 7);

    // Required keys: vendor, product, session, and the path its kind needs.
    const char* incomplete[] = {
        "kind=serial\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        "kind=serial\nvendor=0x1209\nproduct=0x4b31\ntty=/dev/pts/1\n",
        "kind=hid\nvendor=0x1209\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        "vendor=0x1209\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
        "kind=serial\nvendor=xyz\nproduct=0x4b31\nsession=5\ntty=/dev/pts/1\n",
    };
    for (const char* text : incomplete) {
        Write("bad.dev", text);
        EXPECT_FALSE(LIOVirtualDeviceDir::ReadRecord(Path("bad.dev").c_str(), service)) << text;
    }
    EXPECT_FALSE(LIOVirtualDeviceDir::ReadRecord(Path("none.dev").c_str(), service));
    EXPECT_TRUE(LIOVirtualDeviceDir::IsRecordName("sim-1.dev"));
    EXPECT_FALSE(LIOVirtualDeviceDir::IsRecordName(".sim-1.dev"));
    EXPECT_FALSE(LIOVirtualDeviceDir::IsRecordName(".dev"));
}

TEST_F(VirtualRecordsTest, HalfWrittenRecordIsNeverRead) {
    Start();
    // The publisher's temporary file is ignored however complete it is.
    Write(".c.tmp", Record(4));
    Pump();
    EXPECT_TRUE(mEvents.empty());

    // A record written in place is read only once its writer has closed it.
    int fd = open(Path("d.dev").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string text = Record(5);
    ASSERT_EQ(write(fd, text.data(), 20), 20);
    Pump();
    EXPECT_TRUE(mEvents.empty());
    LIOVirtualDeviceDir other(mDir.c_str());
    EXPECT_TRUE(other.ReadRecords().empty()) << "a half record lacks required keys";
    ASSERT_EQ(write(fd, text.data() + 20, text.size() - 20), ssize_t(text.size() - 20));
    close(fd);
    Pump();
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
