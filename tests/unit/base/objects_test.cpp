#include "LObjList_.h"
#include "LObjPtr_.h"

#include <gtest/gtest.h>

namespace {

// Counts destructions so tests can see exactly when an object dies.
struct Probe : virtual LObject {
    explicit Probe(int* deaths) : mDeaths(deaths) {}
    ~Probe() override { ++*mDeaths; }
    int* mDeaths;
};

// Two counted bases still share one count.
struct Second : virtual LObject {};
struct Both : Probe, Second {
    using Probe::Probe;
};

TEST(Objects, ReleaseToZeroDestroysOnce) {
    int deaths = 0;
    auto* probe = new Probe(&deaths);
    EXPECT_EQ(probe->RetainCount(), 1);
    probe->RetainObject();
    probe->ReleaseObject();
    EXPECT_EQ(deaths, 0);
    probe->ReleaseObject();
    EXPECT_EQ(deaths, 1);
    LObject::ReleaseObject(nullptr); // null-safe
}

TEST(Objects, DiamondHasOneCount) {
    int deaths = 0;
    auto* both = new Both(&deaths);
    LObjPtr_<Second> second(both);
    LObjPtr_<Probe> probe(both);
    EXPECT_EQ(both->RetainCount(), 3);
    both->ReleaseObject();
    second = nullptr;
    EXPECT_EQ(deaths, 0);
    probe = nullptr;
    EXPECT_EQ(deaths, 1);
}

TEST(ObjPtr, AssignmentCountsOnlyChanges) {
    int deaths = 0;
    auto* a = new Probe(&deaths);
    auto* b = new Probe(&deaths);
    {
        LObjPtr_<Probe> ptr;
        EXPECT_EQ(ptr.Get(), nullptr);
        ptr = a;
        ptr = a; // the same pointer: no count change
        EXPECT_EQ(a->RetainCount(), 2);
        LObjPtr_<Probe> copy(ptr);
        EXPECT_EQ(a->RetainCount(), 3);
        ptr = b;
        EXPECT_EQ(a->RetainCount(), 2);
        EXPECT_EQ(b->RetainCount(), 2);
    }
    EXPECT_EQ(a->RetainCount(), 1);
    EXPECT_EQ(b->RetainCount(), 1);
    a->ReleaseObject();
    b->ReleaseObject();
    EXPECT_EQ(deaths, 2);
}

TEST(ObjList, AppendGrowsByEightAndKeepsOrderAndCounts) {
    int deaths = 0;
    Probe* probes[9];
    LObjList_<Probe> list;
    for (int i = 0; i < 9; ++i) {
        probes[i] = new Probe(&deaths);
        EXPECT_EQ(list.AppendObject(probes[i]), i);
        if (i == 7) {
            EXPECT_EQ(list.Capacity(), 8);
        }
    }
    EXPECT_EQ(list.Capacity(), 16);
    EXPECT_EQ(list.Count(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list.ObjectAtIndex(i), probes[i]);
        EXPECT_EQ(probes[i]->RetainCount(), 2);
    }
    EXPECT_EQ(list.ObjectAtIndex(-1), nullptr);
    EXPECT_EQ(list.ObjectAtIndex(9), nullptr);
    for (auto* probe : probes)
        probe->ReleaseObject();
    EXPECT_EQ(deaths, 0);
    list.ClearObjList();
    EXPECT_EQ(deaths, 9);
    EXPECT_EQ(list.Capacity(), 0);
}

TEST(ObjList, NullAndShiftOperator) {
    int deaths = 0;
    LObjList_<Probe> list;
    EXPECT_EQ(list.AppendObject(nullptr), -1);
    EXPECT_EQ(list << nullptr, -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list << new Probe(&deaths), 0);
    EXPECT_EQ(list.ObjectAtIndex(0)->RetainCount(), 1); // the list is the only owner
    list.RemoveObject(list.ObjectAtIndex(0));
    EXPECT_EQ(deaths, 1);
}

TEST(ObjList, RemoveFirstOccurrenceOnly) {
    int deaths = 0;
    auto* a = new Probe(&deaths);
    auto* b = new Probe(&deaths);
    LObjList_<Probe> list;
    list.AppendObject(a);
    list.AppendObject(b);
    list.AppendObject(a);
    Probe stranger(&deaths);
    list.RemoveObject(&stranger);
    EXPECT_EQ(list.Count(), 3);
    list.RemoveObject(a);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.ObjectAtIndex(0), b);
    EXPECT_EQ(list.ObjectAtIndex(1), a);
    EXPECT_EQ(list.Capacity(), 8); // capacity does not shrink
    EXPECT_EQ(a->RetainCount(), 2);

    LObjList_<Probe> copy;
    copy = list;
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(a->RetainCount(), 3);
    copy.ClearObjList();
    list.ClearObjList();
    a->ReleaseObject();
    b->ReleaseObject();
    EXPECT_EQ(deaths, 2);
}

} // namespace
