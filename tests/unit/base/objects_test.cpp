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

TEST(Objects, CountsDestroyOnceAtZeroAndADiamondHasOneCount) {
    int deaths = 0;
    auto* both = new Both(&deaths);
    EXPECT_EQ(both->RetainCount(), 1);
    LObjPtr_<Second> second(both);
    LObjPtr_<Probe> probe(both);
    probe = both; // the same pointer: no count change
    EXPECT_EQ(both->RetainCount(), 3);
    {
        LObjPtr_<Probe> copy(probe);
        EXPECT_EQ(both->RetainCount(), 4);
        copy = new Probe(&deaths);
        copy->ReleaseObject();
        EXPECT_EQ(both->RetainCount(), 3);
    }
    EXPECT_EQ(deaths, 1);
    both->ReleaseObject();
    second = nullptr;
    EXPECT_EQ(deaths, 1);
    probe = nullptr;
    EXPECT_EQ(deaths, 2);
    LObject::ReleaseObject(nullptr); // null-safe
}

TEST(ObjList, GrowsByEightKeepsOrderAndCountsAndRemovesFirstOccurrenceOnly) {
    int deaths = 0;
    Probe* probes[9];
    LObjList_<Probe> list;
    EXPECT_EQ(list.AppendObject(nullptr), -1);
    EXPECT_EQ(list << nullptr, -1);
    EXPECT_EQ(list.Capacity(), 0);
    for (int i = 0; i < 9; ++i) {
        probes[i] = new Probe(&deaths);
        EXPECT_EQ(list.AppendObject(probes[i]), i);
        if (i == 7) {
            EXPECT_EQ(list.Capacity(), 8);
        }
    }
    EXPECT_EQ(list.Capacity(), 16);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list.ObjectAtIndex(i), probes[i]);
        EXPECT_EQ(probes[i]->RetainCount(), 2);
    }
    EXPECT_EQ(list.ObjectAtIndex(-1), nullptr);
    EXPECT_EQ(list.ObjectAtIndex(9), nullptr);

    Probe* a = probes[0];
    EXPECT_EQ(list.AppendObject(a), 9);
    Probe stranger(&deaths);
    list.RemoveObject(&stranger);
    EXPECT_EQ(list.Count(), 10);
    list.RemoveObject(a); // the first occurrence only; capacity does not shrink
    ASSERT_EQ(list.Count(), 9);
    EXPECT_EQ(list.ObjectAtIndex(0), probes[1]);
    EXPECT_EQ(list.ObjectAtIndex(8), a);
    EXPECT_EQ(list.Capacity(), 16);
    EXPECT_EQ(a->RetainCount(), 2);

    LObjList_<Probe> copy;
    copy = list;
    EXPECT_EQ(a->RetainCount(), 3);
    copy.ClearObjList();
    for (auto* probe : probes)
        probe->ReleaseObject();
    EXPECT_EQ(deaths, 0);
    list.ClearObjList();
    EXPECT_EQ(deaths, 9);
    EXPECT_EQ(list.Capacity(), 0);

    EXPECT_EQ(list << new Probe(&deaths), 0);
    EXPECT_EQ(list.ObjectAtIndex(0)->RetainCount(), 1); // the list is the only owner
    list.RemoveObject(list.ObjectAtIndex(0));
    EXPECT_EQ(deaths, 10);
}

} // namespace
