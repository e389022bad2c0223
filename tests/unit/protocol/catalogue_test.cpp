#include "CKdPrmCatalogue.h"
#include "CKdPrmManager.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(Catalogue, EveryRowIsDescribedWhereItLies) {
    CKdPrmManager manager;
    LPrmManager::_SPrmInfo info;
    LPrmManager::_SRangeInfo range;
    for (const CKdPrmCatalogue::_SPrmRow& row : CKdPrmCatalogue::Rows()) {
        const int width = CKdPrmCatalogue::Width(row.mType);
        for (int k = 0; k < row.mCount; ++k) {
            const long id = row.mPrmID + k * width;
            ASSERT_TRUE(manager.PrmInfo(id, info)) << id;
            EXPECT_EQ(CKdPrmCatalogue::FindRow(id), &row) << id << " is described twice";
            EXPECT_EQ(info.mWidth, width);
            EXPECT_EQ(info.mRange, row.mRange);
            EXPECT_TRUE(manager.RangeInfo(info.mRange, range)) << id;
            EXPECT_TRUE(width == 1 || !manager.PrmInfo(id + 1, info)) << id + 1; // upper byte
        }
    }
    for (const CKdPrmCatalogue::_SExecRow& exec : CKdPrmCatalogue::ExecRows())
        EXPECT_FALSE(manager.PrmInfo(exec.mPrmID, info)) << exec.mPrmID;
    for (long id : {101, 1001, -1})
        EXPECT_FALSE(manager.PrmInfo(id, info)) << id;
    EXPECT_FALSE(manager.RangeInfo(53, range));
    EXPECT_FALSE(manager.RangeInfo(-1, range));
}

TEST(Catalogue, InitialValuesLabelsAndRanges) {
    CKdPrmManager manager;
    EXPECT_EQ(manager.Value(414, 0), 100);
    EXPECT_EQ(manager.Value(296, 0), 5);
    EXPECT_EQ(manager.Value(332, 0), -960); // preset 2
    EXPECT_EQ(manager.Value(970, 0), 0x02);
    EXPECT_EQ(manager.Value(975, 0), 0);
    // Text lengths: two community names, location, login name, password.
    for (auto [id, length] : {std::pair{620, 7u}, {690, 6u}, {760, 0u}, {930, 7u}, {950, 8u}})
        EXPECT_EQ(manager.StringValue(id, 64, 1, 0).Length(), length) << id;

    EXPECT_STREQ(CKdPrmManager::PrmLabel(625), "SNMP Community Name");
    EXPECT_STREQ(CKdPrmManager::PrmLabel(998), "System Reboot");
    EXPECT_EQ(CKdPrmManager::PrmLabel(181), nullptr);
    EXPECT_EQ(CKdPrmManager::PrmLabel(188), nullptr);

    for (auto [typed, stored] : {std::pair{10, 32}, {200, 127}, {-5, 32}, {0, 0}}) {
        EXPECT_TRUE(manager.SetValue(930, typed, 0));
        EXPECT_EQ(manager.Value(930, 0), stored) << typed;
    }
    EXPECT_FALSE(manager.SetValue(990, 5, 0)); // versions are read-only
    EXPECT_EQ(manager.Value(990, 0), 0);
    EXPECT_TRUE(manager.SetValue(180, 100, 0));
    EXPECT_EQ(manager.Value(180, 0), 768);
    EXPECT_TRUE(manager.SetValue(182, -5000, 0));
    EXPECT_EQ(manager.Value(182, 0), -1920);
    EXPECT_EQ(manager.ValueRange(516).mMax, 52);
}

} // namespace
