#include "CKdPrmCatalogue.h"
#include "CKdPrmManager.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Catalogue, EveryRowIsDescribedWhereItLies) {
    CKdPrmManager manager;
    for (const CKdPrmCatalogue::_SPrmRow& row : CKdPrmCatalogue::Rows()) {
        const int width = CKdPrmCatalogue::Width(row.mType);
        for (int k = 0; k < row.mCount; ++k) {
            const long id = row.mPrmID + k * width;
            LPrmManager::_SPrmInfo info;
            ASSERT_TRUE(manager.PrmInfo(id, info)) << id;
            EXPECT_EQ(CKdPrmCatalogue::FindRow(id), &row) << id << " is described twice";
            EXPECT_EQ(info.mWidth, width);
            EXPECT_EQ(info.mRange, row.mRange);
            if (width == 2) {
                EXPECT_FALSE(manager.PrmInfo(id + 1, info)) << id + 1;
            }
            LPrmManager::_SRangeInfo range;
            EXPECT_TRUE(manager.RangeInfo(info.mRange, range)) << id;
        }
    }
    for (const CKdPrmCatalogue::_SExecRow& exec : CKdPrmCatalogue::ExecRows()) {
        LPrmManager::_SPrmInfo info;
        EXPECT_FALSE(manager.PrmInfo(exec.mPrmID, info)) << exec.mPrmID;
    }
    LPrmManager::_SPrmInfo info;
    EXPECT_FALSE(manager.PrmInfo(181, info));
    EXPECT_FALSE(manager.PrmInfo(101, info));
    EXPECT_FALSE(manager.PrmInfo(1001, info));
    EXPECT_FALSE(manager.PrmInfo(-1, info));
    LPrmManager::_SRangeInfo range;
    EXPECT_FALSE(manager.RangeInfo(53, range));
    EXPECT_FALSE(manager.RangeInfo(-1, range));
}

TEST(Catalogue, InitialValues) {
    CKdPrmManager manager;
    EXPECT_EQ(manager.Value(414, 0), 100);
    EXPECT_EQ(manager.Value(296, 0), 5);
    EXPECT_EQ(manager.Value(180, 0), 3840);
    EXPECT_EQ(manager.Value(231, 0), 30);
    EXPECT_EQ(manager.Value(332, 0), -960); // preset 2
    EXPECT_EQ(manager.Value(384, 0), 540);  // preset 7
    EXPECT_EQ(manager.Value(366, 0), 1);
    EXPECT_EQ(manager.Value(913, 0), 0);
    EXPECT_EQ(manager.Value(970, 0), 0x02);
    EXPECT_EQ(manager.Value(975, 0), 0);
    EXPECT_EQ(std::strlen(manager.StringValue(620, 64, 1, 0).CString()), 7u);
    EXPECT_EQ(std::strlen(manager.StringValue(690, 64, 1, 0).CString()), 6u);
    EXPECT_EQ(std::strlen(manager.StringValue(760, 64, 1, 0).CString()), 0u);
    EXPECT_EQ(std::strlen(manager.StringValue(930, 16, 1, 0).CString()), 7u);
    EXPECT_EQ(std::strlen(manager.StringValue(950, 16, 1, 0).CString()), 8u);
}

TEST(Catalogue, RangesAndCheckers) {
    CKdPrmManager manager;
    EXPECT_TRUE(manager.SetValue(930, 10, 0));
    EXPECT_EQ(manager.Value(930, 0), 32);
    EXPECT_TRUE(manager.SetValue(930, 200, 0));
    EXPECT_EQ(manager.Value(930, 0), 127);
    EXPECT_TRUE(manager.SetValue(930, -5, 0));
    EXPECT_EQ(manager.Value(930, 0), 32);
    EXPECT_TRUE(manager.SetValue(930, 0, 0));
    EXPECT_EQ(manager.Value(930, 0), 0);

    EXPECT_FALSE(manager.SetValue(990, 5, 0)); // versions are read-only
    EXPECT_EQ(manager.Value(990, 0), 0);
    EXPECT_TRUE(manager.SetValue(180, 100, 0));
    EXPECT_EQ(manager.Value(180, 0), 768);
    EXPECT_TRUE(manager.SetValue(182, -5000, 0));
    EXPECT_EQ(manager.Value(182, 0), -1920);
    EXPECT_TRUE(manager.SetValue(441, 5, 0));
    EXPECT_EQ(manager.Value(441, 0), 0);
    EXPECT_EQ(manager.ValueRange(414).mMin, 100);
    EXPECT_EQ(manager.ValueRange(516).mMax, 52);
}

TEST(Catalogue, Labels) {
    EXPECT_STREQ(CKdPrmManager::PrmLabel(102), "Main In H Flip");
    EXPECT_STREQ(CKdPrmManager::PrmLabel(236), "PinP Border Volor Red");
    EXPECT_STREQ(CKdPrmManager::PrmLabel(625), "SNMP Community Name");
    EXPECT_STREQ(CKdPrmManager::PrmLabel(998), "System Reboot");
    EXPECT_EQ(CKdPrmManager::PrmLabel(181), nullptr);
    EXPECT_EQ(CKdPrmManager::PrmLabel(188), nullptr);
    EXPECT_EQ(CKdPrmManager::PrmLabel(5000), nullptr);
}

} // namespace
