// The parameter manager, its handles, and the observers and bridges that watch it.
#include "LPrmManager.h"
#include "LPrmManagerHandle.h"
#include "LPrmManagerPtr.h"
#include "LPrmObserver.h"
#include "LPrmObserverBridge.h"
#include "LPrmObserverList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// A small device: 1 u8 (0..10, initial 5), 2 s8 read-only (initial -3), 3 u16 (0..4000),
// 10-13 characters whose checker records what it is given. Every change is recorded and marks
// the observer list dirty.
class TestManager : public LPrmManager {
public:
    TestManager() {
        for (long id : {1, 2, 3, 10, 11, 12, 13})
            InitValue(id);
    }

    bool PrmInfo(long id, _SPrmInfo& info) override {
        if (id == 1) return Describe<uint8_t>(info, &mU8, 0, 5);
        if (id == 2) return Describe<int8_t>(info, &mS8, 1, -3);
        if (id == 3) return Describe<uint16_t>(info, &mU16, 2, 0);
        if (id >= 10 && id <= 13) return Describe<int8_t>(info, &mText[id - 10], 3, 0);
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
        changes.emplace_back(id, value, origin);
        list.SetDirty();
    }
    LPrmObserverList* ObserverListWithObserver(LPrmObserver*) override { return &list; }

    static bool Record(int& value) {
        sChecked.push_back(value);
        return true;
    }

    std::vector<std::tuple<long, int, long>> changes; // identifier, value, origin
    LPrmObserverList list;
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

TEST(PrmManager, SetValueClampsRefusesAndNotifiesRealChangesOnly) {
    TestManager manager;
    EXPECT_EQ(manager.Value(1, 0), 5); // initial values are written without notification
    EXPECT_EQ(manager.Value(2, 0), -3);
    EXPECT_TRUE(manager.changes.empty());

    EXPECT_TRUE(manager.SetValue(1, 99, 7));
    EXPECT_EQ(manager.Value(1, 0), 10);
    EXPECT_TRUE(manager.SetValue(1, -4, 0));
    EXPECT_TRUE(manager.SetValue(1, 0, 0));  // already stored: no notification
    EXPECT_FALSE(manager.SetValue(2, 1, 0)); // read-only
    EXPECT_EQ(manager.Value(2, 0), -3);
    EXPECT_FALSE(manager.SetValue(4, 1, 0)); // unknown
    EXPECT_EQ(manager.Value(4, 0), 0);
    EXPECT_EQ(manager.ValueRange(3).mMax, 4000);
    EXPECT_EQ(manager.ValueRange(4).mMax, 0);
    EXPECT_EQ(manager.changes, (decltype(manager.changes){{1, 10, 7}, {1, 0, 0}}));

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

TEST(PrmManager, HandlesAndObserversSurviveTheManager) {
    auto* manager = new TestManager;
    LPrmManagerPtr direct = manager;
    LObjPtr_<LPrmManagerHandle> chained = new LPrmManagerHandle(manager->Handle());
    LObject::ReleaseObject(chained.Get());
    LPrmManagerPtr viaChain = chained.Get();
    EXPECT_TRUE(direct);
    EXPECT_EQ(viaChain.Get(), manager);
    EXPECT_EQ(static_cast<LPrmManagerHandle*>(direct), manager->Handle());
    LPrmObserver observer(manager);
    observer.SetPrmID(1);

    LObject::ReleaseObject(manager); // destroys the observer list, then clears the handle
    EXPECT_FALSE(direct);
    EXPECT_EQ(viaChain.Get(), nullptr);
    EXPECT_NE(direct.Handle(), nullptr); // the handle outlives its manager
    direct = static_cast<LPrmManager*>(nullptr);
    EXPECT_EQ(direct.Handle(), nullptr);
    EXPECT_FALSE(observer.IsRegistered());
    EXPECT_FALSE(observer.UpdateValue());
    EXPECT_FALSE(observer.RegisterObserver());
}

struct CountingObserver : LPrmObserver {
    using LPrmObserver::LPrmObserver;
    void CheckValueUpdated() override {
        ++checks;
        LPrmObserver::CheckValueUpdated();
    }
    void ValueUpdated() override { ++updates; }
    int checks = 0;
    int updates = 0;
};

TEST(PrmObserver, ChangesAreReportedOncePerPassAndMoveWithTheObserver) {
    TestManager manager;
    CountingObserver observer(&manager);
    observer.SetPrmID(3);
    EXPECT_TRUE(observer.IsRegistered());
    manager.list.Service(); // clean list: nobody is asked
    EXPECT_EQ(observer.checks, 0);

    manager.SetValue(3, 1, 0);
    manager.SetValue(3, 2, 0);
    manager.list.Service();
    EXPECT_EQ(observer.updates, 1);
    EXPECT_EQ(observer.LastValue(), 2);

    manager.SetValue(3, 9, 0); // and back before the pass
    manager.SetValue(3, 2, 0);
    manager.list.Service();
    EXPECT_EQ(observer.checks, 2);
    EXPECT_EQ(observer.updates, 1);

    // A registered observer moves with its registration, refreshed without notification.
    TestManager other;
    other.SetValue(3, 42, 0);
    observer.SetPrmManager(&other);
    EXPECT_EQ(manager.list.Count(), 0);
    EXPECT_EQ(other.list.Count(), 1);
    EXPECT_EQ(observer.LastValue(), 42);
    EXPECT_EQ(observer.updates, 1);
    observer.SetPrmManager(other.Handle()); // the same manager by handle: nothing changes
    observer.UnregisterObserver();
    EXPECT_EQ(other.list.Count(), 0);
}

// Room for one object that is overwritten with a pattern when the object is destroyed, so that
// any later use of it crashes instead of reading stale but plausible memory.
template <class T>
class PoisonedBox {
public:
    template <class... Args>
    T* Make(Args&&... args) {
        return mObject = new (mBytes) T(std::forward<Args>(args)...);
    }
    void Destroy() {
        if (!mObject) return;
        std::exchange(mObject, nullptr)->~T();
        std::memset(mBytes, 0xA5, sizeof mBytes);
    }
    T* Get() const { return mObject; }

private:
    alignas(T) unsigned char mBytes[sizeof(T)];
    T* mObject = nullptr;
};

// A view holding its observers by value, as widgets hold their bridges.
struct Page {
    explicit Page(LPrmManager* manager) : first(manager), second(manager) {}
    CountingObserver first;
    CountingObserver second;
};

// An observer that runs an action when its value changes.
struct ActingObserver : LPrmObserver {
    using LPrmObserver::LPrmObserver;
    void ValueUpdated() override { action(); }
    std::function<void()> action;
};

// An observer that the list alone keeps alive and that leaves the list while being called.
struct LeavingObserver : LPrmObserver {
    using LPrmObserver::LPrmObserver;
    ~LeavingObserver() override { ++sDestroyed; }
    void ValueUpdated() override { UnregisterObserver(); }
    static inline int sDestroyed = 0;
};

// Observers leave the list during a pass in every way the views make them: unregistering, or
// destroyed with their page by a callback, before or after their own turn. Nobody who stays is
// skipped, and nobody who left is touched again.
TEST(PrmObserverList, ObserversThatLeaveDuringServiceAreNeitherSkippedNorTouchedAgain) {
    TestManager manager;
    PoisonedBox<Page> early;
    PoisonedBox<Page> late;
    early.Make(&manager)->first.SetPrmID(1);
    early.Get()->second.SetPrmID(1);
    ActingObserver replacer(&manager); // an edit that replaces both pages
    replacer.SetPrmID(1);
    replacer.action = [&] {
        early.Destroy();
        late.Destroy();
    };
    late.Make(&manager)->first.SetPrmID(1);
    auto* leaving = new LeavingObserver(&manager);
    leaving->SetPrmID(1);
    LObject::ReleaseObject(leaving); // the list holds the only reference now
    CountingObserver staying(&manager);
    staying.SetPrmID(1);
    ASSERT_EQ(manager.list.Count(), 6);

    manager.SetValue(1, 1, 0);
    manager.list.Service();
    EXPECT_EQ(LeavingObserver::sDestroyed, 1);
    EXPECT_EQ(staying.updates, 1);
    EXPECT_EQ(manager.list.Count(), 2); // compacted after the pass: replacer, staying
    EXPECT_EQ(manager.list.ObjectAtIndex(1), &staying);

    manager.SetValue(1, 2, 0); // the next pass sees only those who stayed
    manager.list.Service();
    EXPECT_EQ(staying.updates, 2);
}

// A view; `replace`, when set, replaces its page (and so may destroy its own bridge) when told
// of a change.
struct View : LPrmObserverBridge::Delegate {
    void valueUpdated(LPrmObserverBridge*) override {
        ++updates;
        if (replace) replace();
    }
    void checkValueUpdated(LPrmObserverBridge*) override { ++checks; }
    std::optional<bool> updateValue(LPrmObserverBridge*) override { return answer; }
    std::optional<bool> answer; // none: the view does not implement "updateValue"
    std::function<void()> replace;
    int updates = 0;
    int checks = 0;
};

TEST(PrmObserverBridge, ForwardsToItsDelegate) {
    TestManager manager;
    manager.SetValue(3, 5, 0);
    View view;
    LPrmObserverBridge bridge;
    bridge.Setup(&manager, 3, &view);
    EXPECT_EQ(view.updates, 1); // once at set-up
    EXPECT_EQ(bridge.LastValue(), 5);

    // Without updateValue the base comparison detects the change.
    manager.SetValue(3, 6, 0);
    manager.list.Service();
    EXPECT_EQ(view.updates, 2);
    EXPECT_EQ(view.checks, 1);

    // With updateValue the delegate's answer decides, even for an unchanged value.
    View refreshing;
    refreshing.answer = true;
    bridge.Setup(manager.Handle(), 3, &refreshing);
    manager.list.SetDirty();
    manager.list.Service();
    EXPECT_EQ(refreshing.updates, 2);
    EXPECT_EQ(view.updates, 2); // the former delegate hears nothing more
}

TEST(PrmObserverBridge, AGoneDelegateReceivesNothing) {
    TestManager manager;
    LPrmObserverBridge bridge;
    {
        View view;
        bridge.Setup(&manager, 1, &view);
        EXPECT_EQ(bridge.GetDelegate(), &view);
    }
    EXPECT_EQ(bridge.GetDelegate(), nullptr);
    manager.SetValue(1, 3, 0);
    manager.list.Service(); // must not reach the destroyed view
    EXPECT_EQ(bridge.LastValue(), 3);

    // A bridge that goes first leaves nothing behind in its delegate.
    View view;
    auto* shortLived = new LPrmObserverBridge;
    shortLived->Setup(&manager, 1, &view);
    LObject::ReleaseObject(shortLived); // the manager's list still holds it
    manager.list.ObjectAtIndex(manager.list.Count() - 1)->UnregisterObserver();
}

TEST(PrmObserverBridge, MayBeDestroyedByItsOwnDelegate) {
    TestManager manager;
    View view;
    PoisonedBox<LPrmObserverBridge> page;
    page.Make()->Setup(&manager, 1, &view);
    View other;
    LPrmObserverBridge after;
    after.Setup(&manager, 1, &other);
    view.replace = [&] { page.Destroy(); };

    manager.SetValue(1, 4, 0);
    manager.list.Service();
    EXPECT_EQ(view.updates, 2);
    EXPECT_EQ(view.checks, 0); // the destroyed bridge reports nothing more
    EXPECT_EQ(other.updates, 2);
    EXPECT_EQ(manager.list.Count(), 1);
}

} // namespace
