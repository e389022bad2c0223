// The catalogue against rows copied by hand from the parameter table of the switcher's
// documentation: every type, every kind of range and the odd cases, checked through what the
// session does with them, never through the catalogue's own table.
#include "CKdPrmManager.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <utility>

namespace {

enum class Type { U8, S8, U16, S16 };
enum class Kind { Clamp, ReadOnly, Text };

struct SpecRow {
    long id;
    Type type;
    Kind kind;
    int min; // for Clamp
    int max;
    int initial;
    const char* label; // null: no page shows it
};

using enum Type;
using enum Kind;

// clang-format off
constexpr SpecRow kSpecRows[] = {
    {102, U8,  Clamp,        0,    1,    0, "Main In H Flip"},
    {104, U8,  Clamp,        0,    4,    0, "Main In Still"},
    {105, U8,  ReadOnly,     0,    0,    0, "Main In Format"},
    {123, U8,  Clamp,        0,  255,   16, "No Signal Color B"},
    {134, U8,  ReadOnly,     0,    0,    0, "Still Status"},
    {141, U8,  Clamp,        0,  127,    0, "Main In Audio Level"},
    {175, U8,  Clamp,        0,  120,    0, "ROI Preset Auto Time"},
    {180, U16, Clamp,      768, 3840, 3840, "Layer [1] ROI Size"},
    {182, S16, Clamp,    -1920, 1920,    0, "Layer [1] ROI H Position"},
    {184, S16, Clamp,    -1080, 1080,    0, "Layer [1] ROI V Position"},
    {188, S8,  Clamp,     -128,  127,    0, nullptr},
    {199, S8,  Clamp,     -128,  127,    0, nullptr},
    {204, U16, Clamp,        0, 4095,    0, "Audio Fade Value"},
    {210, U8,  Clamp,        0,    6,    0, "M/E Type"},
    {214, U8,  Clamp,        0,    4,    2, "FADER Assign"},
    {218, U8,  Clamp,        0,    2,    0, "Cut Type"},
    {220, U8,  Clamp,        0,    4,    0, "Wipe Type"},
    {230, U8,  Clamp,        0,  100,   20, "PinP Size"},
    {231, S8,  Clamp,      -50,   50,   30, "PinP H Position"},
    {237, U8,  Clamp,        0,  255,  235, "PinP Border Volor Green"},
    {239, U8,  Clamp,        0,    2,    0, "PinP Type"},
    {240, U8,  Clamp,        0,    2,    0, "Split Type"},
    {250, U8,  Clamp,        0,    4,    0, "Alpha Type"},
    {253, S8,  Clamp,      -90,   90,    0, "Alpha Chroma Hue"},
    {295, U8,  Clamp,        0,    7,    4, "Auto ROI Layer [2] Preset A"},
    {332, S16, Clamp,    -1920, 1920, -960, "Preset ROI2 H Position"},
    {344, S16, Clamp,    -1080, 1080,  540, "Preset ROI3 V Position"},
    {350, U16, Clamp,      768, 3840,  768, "Preset ROI4 Size"},
    {374, S16, Clamp,    -1080, 1080, -540, "Preset ROI6 V Position"},
    {401, U8,  Clamp,        0,   13,    1, "System Frame Rate"},
    {412, U16, Clamp,        0, 1375,    0, "Sync H Phase"},
    {414, U16, Clamp,      100, 2350,  100, "Sync V Phase"},
    {430, U8,  Clamp,        0,    1,    0, nullptr},
    {441, S8,  Clamp,      -96,    0,    0, "Audio Error Threshold"},
    {511, U8,  Clamp,        1,   12,    6, "Current Date Month"},
    {512, U8,  Clamp,        1,   31,   29, "Current Date Day"},
    {516, S8,  Clamp,      -48,   52,    0, "Current Time Zone"},
    {683, U8,  Text,         0,    0,    0, "SNMP Community Name"},
    {893, U8,  Text,         0,    0,    0, "SNMP Contact Name"},
    {900, U8,  Clamp,        0,  255,  192, "IP Address 1st"},
    {945, U8,  Text,         0,    0,    0, "Login Name"},
    {975, U8,  ReadOnly,     0,    0,    0, "MAC Address"},
    {989, U8,  ReadOnly,     0,    0,    0, "Serial Number"},
    {996, U16, ReadOnly,     0,    0,    0, "PHY Version"},
};
// clang-format on

// Identifiers that are no parameter: gaps, upper bytes of 16-bit parameters, execute
// identifiers, and the ends of the identifier space.
constexpr long kUndefined[] = {101, 106, 124, 133, 174, 181, 183, 185, 201, 206, 216, 219,
                               255, 321, 397, 413, 443, 517, 684, 946, 997, 1000, 1001, -1};

bool IsSigned(Type type) {
    return type == S8 || type == S16;
}
int Width(Type type) {
    return type == U16 || type == S16 ? 2 : 1;
}

TEST(Catalogue, RowsAsDocumented) {
    CKdPrmManager manager;
    for (const SpecRow& row : kSpecRows) {
        SCOPED_TRACE(row.id);
        LPrmManager::_SPrmInfo info;
        ASSERT_TRUE(manager.PrmInfo(row.id, info));
        EXPECT_EQ(info.mWidth, Width(row.type));
        if (row.label)
            EXPECT_STREQ(CKdPrmManager::PrmLabel(row.id), row.label);
        else
            EXPECT_EQ(CKdPrmManager::PrmLabel(row.id), nullptr);
        EXPECT_EQ(manager.Value(row.id, 0), row.initial);

        switch (row.kind) {
        case Clamp:
            EXPECT_EQ(manager.ValueRange(row.id).mMin, row.min);
            EXPECT_EQ(manager.ValueRange(row.id).mMax, row.max);
            EXPECT_TRUE(manager.SetValue(row.id, row.max + 1, 0));
            EXPECT_EQ(manager.Value(row.id, 0), row.max);
            EXPECT_TRUE(manager.SetValue(row.id, row.min - 1, 0));
            EXPECT_EQ(manager.Value(row.id, 0), row.min);
            break;
        case ReadOnly:
            EXPECT_FALSE(manager.SetValue(row.id, 1, 0));
            EXPECT_EQ(manager.Value(row.id, 0), row.initial);
            break;
        case Text: // a character: 32..127, with 0 as end and padding
            for (auto [typed, stored] : {std::pair{10, 32}, {200, 127}, {-5, 32}, {65, 65}}) {
                EXPECT_TRUE(manager.SetValue(row.id, typed, 0));
                EXPECT_EQ(manager.Value(row.id, 0), stored) << typed;
            }
            break;
        }

        // All bits set, as stored from the switcher: the type decides how it reads back.
        ASSERT_TRUE(manager.WriteValue(row.id, info, -1, CKdPrmManager::kOriginHost));
        const int allBits = Width(row.type) == 2 ? 65535 : 255;
        EXPECT_EQ(manager.Value(row.id, 0), IsSigned(row.type) ? -1 : allBits);
    }
}

TEST(Catalogue, UndefinedAndExecuteIdentifiersReadZeroAndRefuseWrites) {
    CKdPrmManager manager;
    LPrmManager::_SPrmInfo info;
    for (long id : kUndefined) {
        EXPECT_FALSE(manager.PrmInfo(id, info)) << id;
        EXPECT_FALSE(manager.SetValue(id, 1, 0)) << id;
        EXPECT_EQ(manager.Value(id, 0), 0) << id;
    }
    LPrmManager::_SRangeInfo range;
    EXPECT_TRUE(manager.RangeInfo(52, range));
    EXPECT_FALSE(manager.RangeInfo(53, range));
    EXPECT_FALSE(manager.RangeInfo(-1, range));

    // Execute identifiers have labels only.
    const std::pair<long, const char*> kExecRows[] = {
        {133, "Still Erase"}, {178, "ROI Preset Save Exec"}, {206, "Main In Sw"},
        {209, "Auto Fade Sw"}, {998, "System Reboot"},       {1000, "Parameter Save"}};
    for (auto [id, label] : kExecRows) {
        EXPECT_STREQ(CKdPrmManager::PrmLabel(id), label) << id;
        EXPECT_FALSE(manager.PrmInfo(id, info)) << id;
    }
}

TEST(Catalogue, DefaultTextsHaveTheirLengths) {
    CKdPrmManager manager;
    // Two community names, location, contact, login name, password: lower-case words.
    const std::pair<long, unsigned> kTexts[] = {{620, 7}, {690, 6}, {760, 0},
                                                {830, 0}, {930, 7}, {950, 8}};
    for (auto [id, length] : kTexts) {
        const LString text = manager.StringValue(id, 64, 1, 0);
        EXPECT_EQ(text.Length(), length) << id;
        for (const char* c = text; *c; ++c)
            EXPECT_TRUE(*c >= 'a' && *c <= 'z') << id << ": " << text.CString();
    }
}

} // namespace
