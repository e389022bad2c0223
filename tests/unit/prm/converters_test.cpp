#include "LPrmConverterStrList.h"
#include "LPrmConverters.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <string>
#include <utility>

namespace {

std::string Text(const LPrmConverter& converter, int value) {
    return converter.PrmValueToString(value).CString();
}

TEST(PrmConverter, DecimalScaledAndOffsetNumbers) {
    const LPrmConverter& nop = gPrmConverterNop;
    EXPECT_EQ(Text(nop, -5), "-5");
    EXPECT_EQ(nop.StringToPrmValue("42abc"), 42);
    EXPECT_EQ(nop.StringToPrmValue("abc"), 0);
    EXPECT_EQ(nop.StringToPrmValue(nullptr), 0);
    EXPECT_EQ(nop.StringToPrmValue("99999999999999999999"), INT_MAX);
    EXPECT_EQ(nop.StringToPrmValue("-99999999999"), INT_MIN);

    EXPECT_EQ(Text(gPrmConverterX4, 25), "100");
    EXPECT_EQ(gPrmConverterX4.StringToPrmValue("103"), 25);
    EXPECT_EQ(gPrmConverterX4.StringToPrmValue("-3"), 0);

    EXPECT_EQ(Text(gPrmConverterSNTPYear, 48), "2018");
    EXPECT_EQ(gPrmConverterSNTPYear.StringToPrmValue("2018"), 48);
    EXPECT_EQ(gPrmConverterSNTPYear.StringToPrmValue("-99999999999"), INT_MIN);

    EXPECT_EQ(Text(gPrmConverterSNTPZone, 36), "GMT +9:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, -20), "GMT -5:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, 0), "GMT +0:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, 1), "GMT +0:15");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, -1), "GMT -0:15");

    EXPECT_EQ(Text(gPrmConverterVerInfo, 0xAB0C), "0C.AB");
}

TEST(PrmConverter, ListsNameValuesInOrder) {
    // Items copied from the documented lists: the first, the last and odd ones of each.
    struct Item {
        const LPrmConverterStrTable& converter;
        int value;
        const char* text;
    };
    // clang-format off
    const Item items[] = {
        {gPrmConverterOffOn, 1, "On"},               {gPrmConverterInStill, 4, "Still4"},
        {gPrmConverterNoSigMode, 1, "Freeze"},       {gPrmConverterNoSigMode, 5, "Still4"},
        {gPrmConverterMeType, 6, "ROI"},             {gPrmConverterModeSw, 4, "Audio Fade"},
        {gPrmConverterFaderAsgn, 1, "Transition"},   {gPrmConverterFaderDir, 1, "Rev"},
        {gPrmConverterCutType, 1, "Backup Sw"},      {gPrmConverterCutType, 2, "Off"},
        {gPrmConverterMixType, 2, "NAM"},            {gPrmConverterWipeType, 4, "Off"},
        {gPrmConverterPinPType, 2, "Off"},           {gPrmConverterSplitType, 2, "Off"},
        {gPrmConverterSplitLayout, 0, "Norm"},       {gPrmConverterAlphaType, 4, "Off"},
        {gPrmConverterAswType, 3, "ROI"},            {gPrmConverterDownCnv, 3, "1080i"},
        {gPrmConverterSmplStruct, 2, "RGB(Enh)"},    {gPrmConverterSubOutSel, 3, "Pre Fader"},
        {gPrmConverterRoiEnable, 0, "Off"},          {gPrmConverterRoiPreset, 7, "ROI8"},
        {gPrmConverterRoiTarget, 1, "Layer [2]"},    {gPrmConverterRoiSource, 5, "Still4"},
        {gPrmConverterStillSource, 1, "Sub"},        {gPrmConverterStillTarget, 0, "Still1"},
        {gPrmConverterStillStatus, 2, "Saving"},     {gPrmConverterStillMemory, 1, "Exist"},
        {gPrmConverterFrameRate, 7, "23.98p"},       {gPrmConverterFrameRate, 13, "100p(FHD)"},
        {gPrmConverterHdcpMode, 2, "Cancel"},        {gPrmConverterSyncMode, 1, "AVDL"},
        {gPrmConverterSyncRef, 2, "Internal"},       {gPrmConverterUDPMode, 1, "Panel"},
        {gPrmConverterUDPMaster, 0, "Slave"},        {gPrmConverterTcRemote, 6, "IN2 Type3"},
        {gPrmConverterFrameRate, 8, "240p(FHD)"},
    };
    // clang-format on
    for (const auto& [converter, value, text] : items) {
        EXPECT_EQ(Text(converter, value), text) << text;
        EXPECT_EQ(Text(converter, -1), "");
    }
    // One past the last item is empty.
    const std::pair<const LPrmConverterStrTable&, int> counts[] = {
        {gPrmConverterCutType, 3},    {gPrmConverterWipeType, 5}, {gPrmConverterAlphaType, 5},
        {gPrmConverterFrameRate, 14}, {gPrmConverterTcRemote, 7}, {gPrmConverterNoSigMode, 6}};
    for (const auto& [converter, count] : counts) {
        EXPECT_EQ(converter.Count(), count);
        EXPECT_EQ(Text(converter, count), "");
    }
    EXPECT_EQ(LPrmConverterStrTable(nullptr).Count(), 0);

    const char* const list[] = {"A", "B", nullptr};
    EXPECT_EQ(LPrmConverterStrList(list).Count(), 2);
    LPrmConverterStrList built{"A", nullptr, "B"};
    built << nullptr << "C";
    EXPECT_EQ(built.Count(), 3);
    EXPECT_EQ(Text(built, 2), "C");
    EXPECT_EQ(Text(built, 3), "");
}

TEST(PrmConverter, AudioLevelInDecibels) {
    // Both ends of each run of equal steps in the documented level curve.
    const std::pair<int, const char*> levels[] = {
        {0, "-INF"},      {1, "-80.0 dB"},  {4, "-71.0 dB"},  {5, "-69.0 dB"},  {7, "-65.0 dB"},
        {8, "-63.5 dB"},  {17, "-50.0 dB"}, {18, "-49.0 dB"}, {37, "-30.0 dB"}, {38, "-29.5 dB"},
        {95, "-1.0 dB"},  {96, "-0.8 dB"},  {100, "0.0 dB"},  {105, "1.0 dB"},  {106, "1.5 dB"},
        {127, "12.0 dB"}, {128, ""},        {-1, ""}};
    for (auto [value, text] : levels)
        EXPECT_EQ(Text(gPrmConverterAudioLevel, value), text) << value;
}

TEST(PrmConverter, Float01RoundTripsEveryTenth) {
    const LPrmConverter& float01 = gPrmConverterFloat01;
    EXPECT_EQ(Text(float01, -5), "-0.5");
    EXPECT_EQ(Text(float01, 100), "10.0");
    for (int value = -2000; value <= 2000; ++value)
        ASSERT_EQ(float01.StringToPrmValue(Text(float01, value).c_str()), value);
    EXPECT_EQ(float01.StringToPrmValue("1.29"), 12); // truncated after one decimal
    EXPECT_EQ(float01.StringToPrmValue("-1.29"), -12);
    EXPECT_EQ(float01.StringToPrmValue(" +3"), 30);
    EXPECT_EQ(float01.StringToPrmValue(".7"), 7);
    EXPECT_EQ(float01.StringToPrmValue(nullptr), 0);
    EXPECT_EQ(float01.StringToPrmValue("99999999999999999999.9"), INT_MAX);
    EXPECT_EQ(float01.StringToPrmValue("-99999999999999999999"), INT_MIN);
}

TEST(PrmConverter, InputFormats) {
    EXPECT_EQ(gPrmConverterInFormat.Count(), 54);
    // The first and last value of each group.
    const std::pair<int, const char*> samples[] = {
        {0, "4096x2160/60p"},   {23, "2048x1080/23.98p"}, {24, "1920x1080/240p"},
        {30, "1920x1080/100p"}, {31, "1920x1080/60p"},    {39, "1920x1080/60i"},
        {41, "1920x1080/50i"},  {42, "1280x720/60p"},     {49, "1280x720/23.98p"},
        {50, "720x480/60p"},    {52, "720x576/50p"},      {53, "PC(IT) Format"},
        {54, ""},               {255, "Unsupport"},       {-1, ""}};
    for (auto [value, text] : samples)
        EXPECT_EQ(Text(gPrmConverterInFormat, value), text) << value;
}

// A Qt application runs in the user's locale; texts of values must not follow it.
TEST(PrmConverter, NumbersReadTheSameUnderADecimalCommaLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/install-deps makes it)";
    char probe[8];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    const std::string localText = probe;

    const std::string shown = Text(gPrmConverterFloat01, 25);
    const int readBack = gPrmConverterFloat01.StringToPrmValue(shown.c_str());
    const std::string level = Text(gPrmConverterAudioLevel, 1);
    std::setlocale(LC_ALL, "C");

    EXPECT_EQ(localText, "2,5"); // the locale does use a comma
    EXPECT_EQ(shown, "2.5");
    EXPECT_EQ(readBack, 25);
    EXPECT_EQ(level, "-80.0 dB");
}

} // namespace
