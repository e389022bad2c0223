#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "CKdValueText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A session without a switcher: values stored as if reported by one.
struct Offline : CKdPrmManager {
    void Store(long id, int value) { SetValueByHost(id, value); }
};

std::string Shown(Offline& session, long id) {
    return CKdValueText::PrmText(session, id).CString();
}

} // namespace

TEST(ValueText, RowsShowTheirValuesAsThePages) {
    struct Case {
        long id;
        int value;
        const char* text;
    };
    const Case cases[] = {
        {102, 1, "On"},             // pop-up
        {210, 6, "ROI"},            // pop-up, last item
        {210, 9, "[9]"},            // pop-up value outside its items
        {211, 15, "1.5 sec"},       // spin, tenths with unit
        {141, 100, "100 (0.0 dB)"}, // spin with a level beside it
        {141, 0, "0 (-INF)"},       // lowest level
        {516, -20, "GMT -5:00"},    // time zone
        {516, 36, "GMT +9:00"},     //
        {175, 120, "120 sec"},      // spin without converter
        {441, -96, "-96 dBFS"},     // signed
        {990, 0x0201, "01.02"},     // read-only value
    };
    Offline session;
    for (const Case& c : cases) {
        session.Store(c.id, c.value);
        EXPECT_EQ(Shown(session, c.id), c.text) << c.id;
    }
}

TEST(ValueText, CompoundRowsShowEveryIdentifier) {
    Offline session;
    const int mac[] = {0x02, 0x4b, 0x44, 0x00, 0x00, 0xff};
    for (int i = 0; i < 6; ++i)
        session.Store(970 + i, mac[i]);
    EXPECT_EQ(Shown(session, 970), "02:4b:44:00:00:ff");
    for (int i = 0; i < 10; ++i)
        session.Store(980 + i, "K1SIM00042"[i]);
    EXPECT_EQ(Shown(session, 980), "K1SIM00042");
    session.Store(135, 1);
    session.Store(138, 1);
    EXPECT_EQ(Shown(session, 135), "*--*");
}

TEST(ValueText, TextsAsShownParseBackAndWrongOnesAreRefused) {
    struct Case {
        long id;
        const char* text;
        bool raw;
        int value; // -1000: refused
    };
    constexpr int kRefused = -1000;
    const Case cases[] = {
        {210, "Mix", false, 1},           {210, "mix", false, 1},
        {210, "1", false, kRefused},      {210, "1", true, 1}, // a pop-up takes its items
        {210, "7", true, kRefused},       {211, "1.5", false, 15},
        {211, "10.1", false, kRefused},   {211, " 1.5 sec ", false, 15}, // unit included
        {412, "100 pix", false, 25}, // shown four times the stored value
        {412, "101", false, kRefused},    {141, "100 (0.0 dB)", false, 100},
        {141, "127", false, 127},         {141, "128", false, kRefused},
        {141, "99999999999", false, kRefused}, {516, "GMT -5:00", false, -20},
        {516, "GMT +13:15", false, kRefused}, // 53 quarter hours, above 52
        {441, "-96", false, -96},         {441, "-97", false, kRefused},
        {441, "1e3", false, kRefused},    {990, "1", true, kRefused}, // read-only
        {1000, "1", true, kRefused},      {5000, "1", true, kRefused}, // execute, unknown
        {620, "65", true, 65},            {620, "200", true, kRefused}, // character code
    };
    Offline session;
    for (const Case& c : cases) {
        int value = kRefused;
        LString why;
        const bool parsed = CKdValueText::ParseValue(session, c.id, c.text, c.raw, value, why);
        EXPECT_EQ(parsed, c.value != kRefused) << c.id << " " << c.text;
        if (parsed)
            EXPECT_EQ(value, c.value) << c.id << " " << c.text;
        else
            EXPECT_GT(why.Length(), 0) << c.id << " " << c.text;
    }

    // A value between two steps names the nearest.
    int value = 0;
    LString why;
    EXPECT_FALSE(CKdValueText::ParseValue(session, 211, "1.55", false, value, why));
    EXPECT_STREQ(
        why.CString(),
        "\"1.55\" is not a step of 211 (Auto Transition Time); the nearest are 1.5 or 1.6");
    EXPECT_FALSE(CKdValueText::ParseValue(session, 412, "102 pix", false, value, why));
    EXPECT_NE(std::string(why.CString()).find("100 or 104"), std::string::npos) << why.CString();
}
