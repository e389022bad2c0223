#include "LPrmManager.h"
#include "LPrmManagerHandle.h"
#include "LPrmManagerPtr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A small device: 1 u8 (0..10, initial 5), 2 s8 read-only, 3 u16 (0..4000),
// 10-13 characters whose checker records what it is given.
class TestManager : public LPrmManager {
public:
    TestManager() {
        for (long id : {1, 2, 3, 10, 11, 12, 13})
            InitValue(id);
    }

    bool PrmInfo(long id, _SPrmInfo& info) override {
        if (id == 1) return Describe<unsigned char>(info, &mU8, 0, 5);
        if (id == 2) return Describe<signed char>(info, &mS8, 1, -3);
        if (id == 3) return Describe<unsigned short>(info, &mU16, 2, 0);
        if (id >= 10 && id <= 13) return Describe<signed char>(info, &mText[id - 10], 3, 0);
        return false;
    }

    bool RangeInfo(int range, _SRangeInfo& info) override {
        static const _SRangeInfo kRanges[] = {
            {0, 10, nullptr}, {0, 0, &PrmCheckerREADONLY}, {0, 4000, nullptr}, {0, 0, &Record}};
        if (range < 0 || range > 3) return false;
        info = kRanges[range];
        return true;
    }

    void ValueChanged(long id, int value, long origin) override {
        changes.push_back({id, value, origin});
    }

    static bool Record(int& value) {
        sChecked.push_back(value);
        return true;
    }

    struct Change {
        long id;
        int value;
        long origin;
        bool operator==(const Change&) const = default;
    };
    std::vector<Change> changes;
    static inline std::vector<int> sChecked;

private:
    template <class T>
    bool Describe(_SPrmInfo& info, void* storage, int range, int initial) {
        info = {storage, sizeof(T), range, initial, &Getter_<T>, &Setter_<T>};
        return true;
    }

    uint8_t mU8 = 0;
    int8_t mS8 = 0;
    uint16_t mU16 = 0;
    char mText[4] = {};
};

TEST(PrmManager, AccessorsWidenBySignednessAndKeepLowBits) {
    uint8_t bytes[2] = {0xFF, 0xFF};
    LPrmManager::_SPrmInfo info{bytes, 0, 0, 0, nullptr, nullptr};
    EXPECT_EQ(LPrmManager::Getter_<unsigned char>(info, 0), 255);
    EXPECT_EQ(LPrmManager::Getter_<signed char>(info, 0), -1);
    EXPECT_EQ(LPrmManager::Getter_<unsigned short>(info, 0), 65535);
    EXPECT_EQ(LPrmManager::Getter_<short>(info, 0), -1);

    LPrmManager::Setter_<unsigned short>(info, 0x12345, 0);
    EXPECT_EQ(LPrmManager::Getter_<unsigned short>(info, 0), 0x2345);
    LPrmManager::Setter_<signed char>(info, 0x181, 0);
    EXPECT_EQ(LPrmManager::Getter_<signed char>(info, 0), -127);
}

TEST(PrmManager, InitialValuesAreWrittenWithoutNotification) {
    TestManager manager;
    EXPECT_EQ(manager.Value(1, 0), 5);
    EXPECT_EQ(manager.Value(2, 0), -3);
    EXPECT_TRUE(manager.changes.empty());
}

TEST(PrmManager, SetValueClampsRefusesAndNotifiesRealChangesOnly) {
    TestManager manager;
    EXPECT_TRUE(manager.SetValue(1, 99, 7));
    EXPECT_EQ(manager.Value(1, 0), 10);
    EXPECT_TRUE(manager.SetValue(1, -4, 0));
    EXPECT_EQ(manager.Value(1, 0), 0);

    EXPECT_TRUE(manager.SetValue(1, 0, 0));  // already stored: no notification
    EXPECT_FALSE(manager.SetValue(2, 1, 0)); // read-only
    EXPECT_EQ(manager.Value(2, 0), -3);
    EXPECT_FALSE(manager.SetValue(4, 1, 0)); // unknown
    EXPECT_EQ(manager.Value(4, 0), 0);
    EXPECT_EQ(manager.ValueRange(3).mMax, 4000);
    EXPECT_EQ(manager.ValueRange(4).mMax, 0);

    const std::vector<TestManager::Change> expected = {{1, 10, 7}, {1, 0, 0}};
    EXPECT_EQ(manager.changes, expected);

    // The device side stores past the range check.
    LPrmManager::_SPrmInfo info;
    ASSERT_TRUE(manager.PrmInfo(2, info));
    EXPECT_TRUE(manager.WriteValue(2, info, 100, 1));
    EXPECT_EQ(manager.Value(2, 0), 100);
}

TEST(PrmManager, TextsArePaddedAndReachTheCheckerAsSignedBytes) {
    TestManager manager;
    TestManager::sChecked.clear();
    EXPECT_TRUE(manager.SetStringValue(10, "ab", 4, 1, 0));
    EXPECT_EQ(TestManager::sChecked, (std::vector<int>{'a', 'b', 0, 0}));
    EXPECT_STREQ(manager.StringValue(10, 4, 1, 0).CString(), "ab");
    EXPECT_STREQ(manager.StringValue(10, 1, 1, 0).CString(), "a");

    TestManager::sChecked.clear();
    manager.SetStringValue(10, "\x80", 1, 1, 0);
    EXPECT_EQ(TestManager::sChecked, (std::vector<int>{-128}));

    manager.SetStringValue(10, nullptr, 4, 1, 0); // null clears the run
    EXPECT_STREQ(manager.StringValue(10, 4, 1, 0).CString(), "");
}

TEST(PrmManager, HandlesResolveToNullOnceTheManagerIsGone) {
    auto* manager = new TestManager;
    LPrmManagerPtr direct = manager;
    LObjPtr_<LPrmManagerHandle> chained = new LPrmManagerHandle(manager->Handle());
    LObject::ReleaseObject(chained.Get());
    LPrmManagerPtr viaChain = chained.Get();

    EXPECT_TRUE(direct);
    EXPECT_EQ(direct.Get(), manager);
    EXPECT_EQ(viaChain.Get(), manager);
    EXPECT_EQ(static_cast<LPrmManagerHandle*>(direct), manager->Handle());

    LObject::ReleaseObject(manager);
    EXPECT_FALSE(direct);
    EXPECT_EQ(direct.Get(), nullptr);
    EXPECT_EQ(viaChain.Get(), nullptr);
    EXPECT_NE(direct.Handle(), nullptr); // the handle outlives its manager

    direct = static_cast<LPrmManager*>(nullptr);
    EXPECT_EQ(direct.Handle(), nullptr);
}

} // namespace
