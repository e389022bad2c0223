#include "LPrmManager.h"
#include "LPrmObserver.h"
#include "LPrmObserverBridge.h"
#include "LPrmObserverList.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Parameters 0..7, one byte each, 0..255; every change marks the observer list dirty.
class ListManager : public LPrmManager {
public:
    bool PrmInfo(long id, _SPrmInfo& info) override {
        if (id < 0 || id >= 8) return false;
        info = {&mValues[id], 1, 0, 0, &Getter_<uint8_t>, &Setter_<uint8_t>};
        return true;
    }
    bool RangeInfo(int range, _SRangeInfo& info) override {
        info = {0, 255, nullptr};
        return range == 0;
    }
    void ValueChanged(long, int, long) override { list.SetDirty(); }
    LPrmObserverList* ObserverListWithObserver(LPrmObserver*) override { return &list; }

    LPrmObserverList list;

private:
    uint8_t mValues[8] = {};
};

class CountingObserver : public LPrmObserver {
public:
    using LPrmObserver::LPrmObserver;
    void CheckValueUpdated() override {
        ++checks;
        LPrmObserver::CheckValueUpdated();
    }
    void ValueUpdated() override { ++updates; }
    int checks = 0;
    int updates = 0;
};

TEST(PrmObserver, ChangesAreReportedOncePerServicePass) {
    ListManager manager;
    CountingObserver observer(&manager);
    observer.SetPrmID(3);
    EXPECT_TRUE(observer.IsRegistered());
    EXPECT_EQ(manager.list.Count(), 1);

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

    observer.UnregisterObserver();
    EXPECT_EQ(manager.list.Count(), 0);
}

TEST(PrmObserver, MovesWithItsRegistrationToAnotherManager) {
    ListManager first, second;
    second.SetValue(5, 42, 0);
    CountingObserver observer(&first);
    observer.SetPrmID(5);

    observer.SetPrmManager(&second);
    EXPECT_EQ(first.list.Count(), 0);
    EXPECT_EQ(second.list.Count(), 1);
    EXPECT_EQ(observer.LastValue(), 42); // refreshed without notification
    EXPECT_EQ(observer.updates, 0);

    observer.SetPrmManager(second.Handle()); // same manager by handle: nothing changes
    EXPECT_EQ(second.list.Count(), 1);
}

TEST(PrmObserver, SurvivesItsListAndItsManager) {
    auto* manager = new ListManager;
    CountingObserver observer(manager);
    observer.SetPrmID(1);
    LObject::ReleaseObject(manager); // destroys the list, then clears the handle
    EXPECT_FALSE(observer.IsRegistered());
    EXPECT_EQ(observer.PrmManager(), nullptr);
    EXPECT_FALSE(observer.UpdateValue());
    EXPECT_FALSE(observer.RegisterObserver());
}

// An observer that the list alone keeps alive and that leaves the list while being called.
class LeavingObserver : public LPrmObserver {
public:
    using LPrmObserver::LPrmObserver;
    ~LeavingObserver() override { ++sDestroyed; }
    void ValueUpdated() override { UnregisterObserver(); }
    static inline int sDestroyed = 0;
};

TEST(PrmObserverList, AnObserverMayLeaveDuringServiceWithoutSkippingOthers) {
    ListManager manager;
    auto* leaving = new LeavingObserver(&manager);
    leaving->SetPrmID(0);
    LObject::ReleaseObject(leaving); // the list holds the only reference now
    CountingObserver staying(&manager);
    staying.SetPrmID(0);

    manager.SetValue(0, 1, 0);
    manager.list.Service();
    EXPECT_EQ(LeavingObserver::sDestroyed, 1);
    EXPECT_EQ(manager.list.Count(), 1);
    EXPECT_EQ(staying.updates, 1); // moved into the freed slot and still checked in this pass
}

class RecordingDelegate : public LPrmObserverBridge::Delegate {
public:
    void valueUpdated(LPrmObserverBridge*) override { ++valueUpdates; }
    void checkValueUpdated(LPrmObserverBridge*) override { ++checks; }
    int valueUpdates = 0;
    int checks = 0;
};

class RefreshingDelegate : public RecordingDelegate {
public:
    std::optional<bool> updateValue(LPrmObserverBridge*) override { return answer; }
    bool answer = false;
};

TEST(PrmObserverBridge, ForwardsToItsDelegate) {
    ListManager manager;
    manager.SetValue(2, 5, 0);
    RecordingDelegate view;
    LPrmObserverBridge bridge;
    bridge.Setup(&manager, 2, &view);
    EXPECT_EQ(view.valueUpdates, 1); // once at set-up
    EXPECT_EQ(bridge.LastValue(), 5);

    // Without updateValue the base comparison detects the change.
    manager.SetValue(2, 6, 0);
    manager.list.Service();
    EXPECT_EQ(view.valueUpdates, 2);
    EXPECT_EQ(view.checks, 1);

    // With updateValue the delegate's answer decides.
    RefreshingDelegate refreshing;
    bridge.Setup(manager.Handle(), 2, &refreshing);
    const int atSetup = refreshing.valueUpdates;
    manager.SetValue(2, 7, 0);
    manager.list.Service();
    EXPECT_EQ(refreshing.valueUpdates, atSetup);
    refreshing.answer = true;
    manager.list.SetDirty();
    manager.list.Service();
    EXPECT_EQ(refreshing.valueUpdates, atSetup + 1);
    EXPECT_EQ(view.valueUpdates, 2); // the former delegate hears nothing more
}

TEST(PrmObserverBridge, AGoneDelegateReceivesNothing) {
    ListManager manager;
    LPrmObserverBridge bridge;
    {
        RecordingDelegate view;
        bridge.Setup(&manager, 1, &view);
        EXPECT_EQ(bridge.GetDelegate(), &view);
    }
    EXPECT_EQ(bridge.GetDelegate(), nullptr);
    manager.SetValue(1, 3, 0);
    manager.list.Service(); // must not reach the destroyed view
    EXPECT_EQ(bridge.LastValue(), 3);

    // A bridge that goes first leaves nothing behind in its delegate.
    RecordingDelegate view;
    auto* shortLived = new LPrmObserverBridge;
    shortLived->Setup(&manager, 1, &view);
    LObject::ReleaseObject(shortLived); // the manager's list still holds it
    manager.list.ObjectAtIndex(manager.list.Count() - 1)->UnregisterObserver();
}

} // namespace
