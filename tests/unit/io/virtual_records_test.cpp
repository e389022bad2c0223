#include "LIOVirtualDeviceDir.h"
#include "LPollRunLoop.h"
#include "RecordPublisher.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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
        mPublisher = std::make_unique<RecordPublisher>(mDir);
    }
    void TearDown() override {
        mWatcher.reset();
        mPublisher.reset();
        EXPECT_EQ(system(("rm -rf " + mBase).c_str()), 0);
    }

    static std::string Session(const LIOService& service) {
        return std::to_string(service.Int64Value(kIOSessionIDKey, 0) & 0xFFFF);
    }
    // The sessions of the records a reader of dir finds now, in name order.
    static Events Sessions(const std::string& dir) {
        Events sessions;
        for (const LIOService& service : LIOVirtualDeviceDir(dir.c_str()).ReadRecords())
            sessions.push_back(Session(service));
        return sessions;
    }
    std::string Path(const std::string& name) const { return mDir + "/" + name; }
    // Publishes a record and reads it back as ReadRecord does.
    bool WriteAndRead(const std::string& text, LIOService& service) const {
        mPublisher->Publish("sim", text);
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
    std::unique_ptr<RecordPublisher> mPublisher;
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

// A record proves that its publisher lives by the lock the publisher holds on it.
TEST_F(VirtualRecordsTest, ARecordCountsOnlyWhileItsPublisherLives) {
    std::ofstream(Path("left.dev")) << Record(3); // nobody holds it: left by a dead publisher
    ASSERT_TRUE(mPublisher->Publish("live", Record(4)));
    mLoop.RunOnce(100);
    EXPECT_EQ(mEvents, (Events{"+4"}));
    EXPECT_EQ(Sessions(mDir), (Events{"4"}));
    EXPECT_FALSE(std::filesystem::exists(Path("left.dev"))) << "a stale record is deleted";

    // A publisher killed while watched: its record goes away as a removal.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t publisher = fork();
    if (publisher == 0) {
        RecordPublisher own(mDir);
        own.Publish("killed", Record(6));
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    mLoop.RunOnce(100);
    kill(publisher, SIGKILL);
    waitpid(publisher, nullptr, 0);
    mLoop.RunOnce(100);
    EXPECT_EQ(mEvents, (Events{"+4", "+6", "-6"}));
    EXPECT_FALSE(std::filesystem::exists(Path("killed.dev")));
    EXPECT_EQ(Sessions(mDir), (Events{"4"}));
}

// Anything but a regular file under a record's name is passed over, and nothing blocks; the
// publisher's temporary file is ignored however complete it is.
TEST_F(VirtualRecordsTest, OnlyRegularFilesUnderRecordNamesAreRead) {
    alarm(10); // a reader that blocks ends the test here rather than hang the suite
    std::ofstream(Path(".c.tmp")) << Record(4);
    ASSERT_EQ(mkfifo(Path("a-fifo.dev").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", Path("b-zero.dev").c_str()), 0);
    ASSERT_EQ(mkdir(Path("c-dir.dev").c_str(), 0700), 0);
    ASSERT_TRUE(mPublisher->Publish("d-sim", Record(7)));
    mLoop.RunOnce(100);
    EXPECT_EQ(mEvents, (Events{"+7"}));
    Events started;
    LIOVirtualDeviceDir second(mDir.c_str());
    second.Start(
        &mLoop, [&](const LIOService& s) { started.push_back(Session(s)); }, nullptr);
    EXPECT_EQ(started, (Events{"7"}));
    alarm(0);
}

// A reader deletes only records of this user whose publisher is gone: a file under a record's
// name that holds no record is not the reader's, nor is another user's record.
TEST_F(VirtualRecordsTest, OnlyStaleRecordsOfThisUserAreDeleted) {
    std::ofstream(Path("notes.dev")) << "Call the studio at 10.\n";
    std::ofstream(Path("near.dev")) << "kind=serial\nvendor=0x1209\nproduct=0x4b31\n";
    std::ofstream(Path("stale.dev")) << Record(5);
    std::ofstream(Path("foreign.dev")) << Record(6);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(Path("foreign.dev").c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(Sessions(mDir), Events{});
    EXPECT_EQ(access(Path("notes.dev").c_str(), F_OK), 0);
    EXPECT_EQ(access(Path("near.dev").c_str(), F_OK), 0);
    EXPECT_NE(access(Path("stale.dev").c_str(), F_OK), 0);
    EXPECT_EQ(access(Path("foreign.dev").c_str(), F_OK), root ? 0 : -1);
}

// A record directory that is a file, or that cannot be made, is a failure that names it.
TEST(VirtualRecordsDir, ADirectoryThatCannotBeWatchedIsAFailureNamingIt) {
    char pattern[] = "/tmp/kaldo-records-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string file = std::string(pattern) + "/plain";
    std::ofstream(file) << "text\n";
    LPollRunLoop loop;
    for (const std::string& path : {file, file + "/devices"}) {
        LIOVirtualDeviceDir records(path.c_str());
        EXPECT_FALSE(records.Start(&loop, nullptr, nullptr)) << path;
        EXPECT_NE(records.Failure().find(path), std::string::npos) << records.Failure();
    }
    LIOVirtualDeviceDir usable((std::string(pattern) + "/devices").c_str());
    EXPECT_TRUE(usable.Start(&loop, nullptr, nullptr));
    EXPECT_EQ(usable.Failure(), "");
    std::filesystem::remove_all(pattern);
}

// What body returns, run in a child process as the given user with the default record path.
std::string AsUser(uid_t user, const std::function<std::string()>& body) {
    int result[2];
    if (pipe(result) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        unsetenv("KALDO_DEVICE_DIR");
        unsetenv("XDG_RUNTIME_DIR");
        const std::string text = setgid(user) == 0 && setuid(user) == 0 ? body() : "no setuid";
        (void)!write(result[1], text.data(), text.size());
        _exit(0);
    }
    close(result[1]);
    std::string text;
    char chunk[256];
    for (ssize_t count; (count = read(result[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, size_t(count));
    close(result[0]);
    waitpid(child, nullptr, 0);
    return text;
}

// Without XDG_RUNTIME_DIR the records lie below /tmp/kaldo-$UID, which anyone may have made:
// they count only while it is a directory of the user that nobody else may write to.
TEST(VirtualRecordsFallback, ItsBaseMustBeAPrivateDirectoryOfTheUser) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a user of the test's own";
    const uid_t user = 60000 + uid_t(getpid() % 5000);
    const std::string base = "/tmp/kaldo-" + std::to_string(user);
    std::filesystem::remove_all(base);
    const auto listed = [&] {
        return AsUser(user, [] {
            std::string sessions;
            for (const LIOService& service : LIOVirtualDeviceDir().ReadRecords())
                sessions += std::to_string(service.Int64Value(kIOSessionIDKey, 0) & 0xFFFF);
            return sessions;
        });
    };

    const std::string started = AsUser(user, [] {
        LPollRunLoop loop;
        return LIOVirtualDeviceDir().Start(&loop, nullptr, nullptr) ? "watching" : "refused";
    });
    EXPECT_EQ(started, "watching");
    struct stat info {};
    ASSERT_EQ(stat(base.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, user);
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    RecordPublisher planted(base + "/devices");
    ASSERT_TRUE(planted.Publish("sim", "kind=serial\nvendor=0x1209\nproduct=0x4b31\nsession=5\n"
                                       "tty=/dev/pts/9\n"));
    EXPECT_EQ(listed(), "5");
    ASSERT_EQ(chmod(base.c_str(), 0777), 0);
    EXPECT_EQ(listed(), "") << "others may write to it";
    ASSERT_EQ(chmod(base.c_str(), 0700), 0);
    ASSERT_EQ(chown(base.c_str(), 65534, 65534), 0);
    EXPECT_EQ(listed(), "") << "another user's";
    std::filesystem::remove_all(base);
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
