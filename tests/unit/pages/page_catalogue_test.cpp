#include "CKdPageCatalogue.h"
#include "CKdPrmCatalogue.h"
#include "LPrmConverter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using Catalogue = CKdPageCatalogue;

TEST(PageCatalogue, MenuOrderAndRequestTotals) {
    auto pages = Catalogue::Pages();
    ASSERT_EQ(pages.size(), 27u);
    EXPECT_STREQ(pages.front().mClassName, "KdPrmViewInputMain");
    EXPECT_STREQ(pages.back().mClassName, "KdPrmViewOthersOthers");

    // Every table together asks for 607 identifiers in 119 requests of at most 12.
    int identifiers = 0, requests = 0;
    for (const auto& page : pages) {
        for (const auto* entry = page.mRequests; entry->mCount >= 1; ++entry) {
            identifiers += entry->mCount;
            requests += (entry->mCount + 11) / 12;
        }
    }
    EXPECT_EQ(identifiers, 607);
    EXPECT_EQ(requests, 119);
}

TEST(PageCatalogue, RowsAgreeWithTheParameterCatalogue) {
    std::set<std::string> classNames;
    for (const auto& page : Catalogue::Pages()) {
        EXPECT_TRUE(classNames.insert(page.mClassName).second) << page.mClassName;
        for (const auto& row : page.mRows) {
            // Each row shows the parameter (or execute identifier) under its catalogue label.
            const char* label = CKdPrmCatalogue::Label(row.mPrmID);
            ASSERT_NE(label, nullptr) << row.mLabel;
            if (row.mWidget == Catalogue::EWidget::StillMemory)
                EXPECT_STREQ(label, "Still Memory");
            else
                EXPECT_STREQ(row.mLabel, label) << row.mPrmID;
            bool isExec = CKdPrmCatalogue::FindExecRow(row.mPrmID) != nullptr;
            EXPECT_EQ(isExec, row.mWidget == Catalogue::EWidget::Exec) << row.mLabel;
        }
    }
}

TEST(PageCatalogue, EveryShownValueIsRequestedByItsPage) {
    // Otherwise the row would show whatever an earlier page happened to leave in the session.
    for (const auto& page : Catalogue::Pages())
        for (const auto& row : page.mRows) {
            if (row.mWidget == Catalogue::EWidget::Exec) continue;
            bool requested = false;
            for (const auto* entry = page.mRequests; entry->mCount >= 1; ++entry)
                requested |=
                    row.mPrmID >= entry->mPrmID && row.mPrmID < entry->mPrmID + entry->mCount;
            EXPECT_TRUE(requested) << page.mClassName << ": " << row.mLabel;
        }
}

TEST(PageCatalogue, LookupByClassOrPath) {
    const auto* roi = Catalogue::FindPage("roi/general");
    const auto* mix = Catalogue::FindPage("Mix/Effect/General");
    ASSERT_NE(roi, nullptr);
    ASSERT_NE(mix, nullptr);
    EXPECT_NE(roi, mix); // "General" appears in three groups
    EXPECT_EQ(Catalogue::FindPage("KdPrmViewSNMPTrapName")->mRows.size(), 9u);
    EXPECT_EQ(Catalogue::FindPage("nonsense"), nullptr);
    EXPECT_EQ(Catalogue::FindPage(nullptr), nullptr);

    const auto* syncH = Catalogue::RowForPrm(412);
    ASSERT_NE(syncH, nullptr);
    EXPECT_STREQ(syncH->mConverter->PrmValueToString(25), "100");
    EXPECT_EQ(Catalogue::RowForPrm(187), nullptr); // movement values have no page
}
