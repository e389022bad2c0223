#include "CKdPageCatalogue.h"
#include "CKdPrmCatalogue.h"
#include "LPrmConverter.h"
#include "LPrmConverters.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using Catalogue = CKdPageCatalogue;
using W = Catalogue::EWidget;

// Rows copied by hand from the documented page tables: every widget kind, converters, units,
// the reboot-needed note, name lengths, waits and confirmations.
TEST(PageCatalogue, RowsAsDocumented) {
    struct ExpectedRow {
        const char* page;
        const char* label;
        W widget;
        long id;
        const LPrmConverter* converter;
        const char* unit;
        int infoCode;
        int length; // name: characters; exec: wait in ms
    };
    // clang-format off
    const ExpectedRow rows[] = {
        {"KdPrmViewInputSub", "Sub In Still", W::PopUp, 114, &gPrmConverterInStill, nullptr, 0, 0},
        {"KdPrmViewInputMain", "Main In Format", W::Value, 105, &gPrmConverterInFormat, nullptr, 0, 0},
        {"KdPrmViewInputNoSig", "No Signal Color G", W::Spin, 122, nullptr, nullptr, 0, 0},
        {"KdPrmViewStill", "Still Erase", W::Exec, 133, nullptr, nullptr, 0, 500},
        {"KdPrmViewStill", "Still Status", W::Value, 134, &gPrmConverterStillStatus, nullptr, 0, 0},
        {"KdPrmViewStill", "Still Memory", W::StillMemory, 135, nullptr, nullptr, 0, 0},
        {"KdPrmViewRoiGeneral", "ROI Preset Save Setting", W::PopUp, 176, &gPrmConverterRoiTarget, nullptr, 0, 0},
        {"KdPrmViewRoiGeneral", "ROI Move Damp Time", W::Spin, 179, &gPrmConverterFloat01, "sec", 0, 0},
        {"KdPrmViewRoiSetting", "Layer [2] ROI V Position", W::Spin, 194, nullptr, "line", 0, 0},
        {"KdPrmViewRoiPreset58Setting", "Preset ROI7 Source", W::PopUp, 386, &gPrmConverterRoiSource, nullptr, 0, 0},
        {"KdPrmViewMixEfxGeneral", "FADER Assign", W::PopUp, 214, &gPrmConverterFaderAsgn, nullptr, 0, 0},
        {"KdPrmViewMixEfxWipe", "Wipe Border Width", W::Spin, 222, nullptr, "pix", 0, 0},
        {"KdPrmViewMixEfxSplit", "Split [1] Center Adj", W::Spin, 243, nullptr, "%", 0, 0},
        {"KdPrmViewMixEfxAlpha", "Alpha Chroma Hue", W::Spin, 253, nullptr, "deg", 0, 0},
        {"KdPrmViewMixEfxErrDet", "Audio Error Threshold", W::Spin, 441, nullptr, "dBFS", 0, 0},
        {"KdPrmViewOutput", "Sub Out Select", W::PopUp, 313, &gPrmConverterSubOutSel, nullptr, 0, 0},
        {"KdPrmViewSystemGeneral", "System HDCP Mode", W::PopUp, 403, &gPrmConverterHdcpMode, nullptr, 1, 0},
        {"KdPrmViewSystemSync", "Sync H Phase", W::Spin, 412, &gPrmConverterX4, "pix", 0, 0},
        {"KdPrmViewSystemSync", "Sync V Phase", W::Spin, 414, nullptr, "H", 0, 0},
        {"KdPrmViewSystemPanel", "UDP Units Link Master", W::PopUp, 423, &gPrmConverterUDPMaster, nullptr, 1, 0},
        {"KdPrmViewSNTPCurrent", "Current Date Year", W::Spin, 510, &gPrmConverterSNTPYear, nullptr, 0, 0},
        {"KdPrmViewSNTPCurrent", "Current Time Zone", W::Spin, 516, &gPrmConverterSNTPZone, nullptr, 0, 0},
        {"KdPrmViewSNMPTrapName", "SNMP Sub Out HPD Trap", W::PopUp, 614, &gPrmConverterOffOn, nullptr, 0, 0},
        {"KdPrmViewSNMPTrapName", "SNMP Read Community Name", W::Name, 690, nullptr, nullptr, 1, 64},
        {"KdPrmViewOthersOthers", "Password", W::Name, 950, nullptr, nullptr, 0, 16},
        {"KdPrmViewOthersOthers", "MAC Address", W::MacAddress, 970, nullptr, nullptr, 0, 0},
        {"KdPrmViewOthersOthers", "Serial Number", W::SerialNumber, 980, nullptr, nullptr, 0, 0},
        {"KdPrmViewOthersOthers", "FPGA Version", W::Value, 992, &gPrmConverterVerInfo, nullptr, 0, 0},
        {"KdPrmViewOthersOthers", "Factory Reset", W::Exec, 999, nullptr, nullptr, 0, 0},
    };
    // clang-format on
    for (const ExpectedRow& expected : rows) {
        SCOPED_TRACE(expected.label);
        const Catalogue::_SPage* page = Catalogue::FindPage(expected.page);
        ASSERT_NE(page, nullptr);
        const Catalogue::_SRow* row = nullptr;
        for (const Catalogue::_SRow& candidate : page->mRows)
            if (std::string(candidate.mLabel) == expected.label) row = &candidate;
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->mWidget, expected.widget);
        EXPECT_EQ(row->mPrmID, expected.id);
        EXPECT_EQ(row->mConverter, expected.converter);
        EXPECT_STREQ(row->mUnit ? row->mUnit : "", expected.unit ? expected.unit : "");
        EXPECT_EQ(row->mInfoCode, expected.infoCode);
        if (expected.widget == W::Name || expected.widget == W::Exec) {
            EXPECT_EQ(row->mLength, expected.length);
        }
    }

    // The confirmations and the reboot notification of the last page.
    const Catalogue::_SPage* others = Catalogue::FindPage("KdPrmViewOthersOthers");
    ASSERT_NE(others, nullptr);
    const Catalogue::_SRow& reboot = others->mRows[others->mRows.size() - 3];
    EXPECT_STREQ(reboot.mLabel, "System Reboot");
    EXPECT_STREQ(reboot.mConfirmation, "Are you sure you want to reboot KALDO-1?");
    EXPECT_STREQ(reboot.mNotification, "KdRebootReqNotification");
    EXPECT_STREQ(others->mRows[others->mRows.size() - 2].mConfirmation,
                 "Are you sure you want to factory reset?");
    EXPECT_EQ(others->mRows.back().mConfirmation, nullptr);
}

TEST(PageCatalogue, MenuOrderRequestTotalsAndLookup) {
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

    // Pages are found by class name or by menu path.
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

// Each row shows its parameter (or execute identifier) under the catalogue's label, and every
// shown value is requested by its own page, not left in the session by an earlier page.
TEST(PageCatalogue, RowsAgreeWithTheParameterCatalogueAndAreRequested) {
    std::set<std::string> classNames;
    for (const auto& page : Catalogue::Pages()) {
        EXPECT_TRUE(classNames.insert(page.mClassName).second) << page.mClassName;
        for (const auto& row : page.mRows) {
            const char* label = CKdPrmCatalogue::Label(row.mPrmID);
            ASSERT_NE(label, nullptr) << row.mLabel;
            EXPECT_STREQ(row.mWidget == W::StillMemory ? "Still Memory" : row.mLabel, label)
                << row.mPrmID;
            const bool isExec = row.mWidget == W::Exec;
            EXPECT_EQ(CKdPrmCatalogue::FindExecRow(row.mPrmID) != nullptr, isExec) << row.mLabel;
            bool requested = false;
            for (const auto* entry = page.mRequests; entry->mCount >= 1; ++entry)
                requested |=
                    row.mPrmID >= entry->mPrmID && row.mPrmID < entry->mPrmID + entry->mCount;
            EXPECT_TRUE(requested || isExec) << page.mClassName << ": " << row.mLabel;
        }
    }
}
