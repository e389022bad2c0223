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

TEST(PrmConverter, DecimalBase) {
    const LPrmConverter& nop = gPrmConverterNop;
    EXPECT_EQ(Text(nop, -5), "-5");
    EXPECT_EQ(nop.StringToPrmValue("42abc"), 42);
    EXPECT_EQ(nop.StringToPrmValue("abc"), 0);
    EXPECT_EQ(nop.StringToPrmValue(nullptr), 0);
    EXPECT_EQ(nop.StringToPrmValue("99999999999999999999"), INT_MAX);
    EXPECT_EQ(nop.StringToPrmValue("-99999999999"), INT_MIN);
}

TEST(PrmConverter, ListsNameValuesInOrder) {
    // The five lists whose last item the switcher encodes as 255, and some longer ones.
    struct Sample {
        const LPrmConverterStrTable& converter;
        int count;
        const char* last;
    };
    const Sample samples[] = {
        {gPrmConverterCutType, 3, "Off"},          {gPrmConverterWipeType, 5, "Off"},
        {gPrmConverterPinPType, 3, "Off"},         {gPrmConverterSplitType, 3, "Off"},
        {gPrmConverterAlphaType, 5, "Off"},        {gPrmConverterRoiPreset, 8, "ROI8"},
        {gPrmConverterFrameRate, 14, "100p(FHD)"}, {gPrmConverterTcRemote, 7, "IN2 Type3"}};
    for (const auto& [converter, count, last] : samples) {
        SCOPED_TRACE(last);
        EXPECT_EQ(converter.Count(), count);
        EXPECT_EQ(Text(converter, count - 1), last);
        EXPECT_EQ(Text(converter, -1), "");
        EXPECT_EQ(Text(converter, count), "");
    }
    EXPECT_EQ(LPrmConverterStrTable(nullptr).Count(), 0);

    const char* const items[] = {"A", "B", nullptr};
    EXPECT_EQ(LPrmConverterStrList(items).Count(), 2);
    LPrmConverterStrList list{"A", nullptr, "B"};
    list << nullptr << "C";
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(Text(list, 2), "C");
    EXPECT_EQ(Text(list, 3), "");
}

TEST(PrmConverter, AudioLevelInDecibels) {
    const LPrmConverter& level = gPrmConverterAudioLevel;
    EXPECT_EQ(Text(level, 0), "-INF");
    EXPECT_EQ(Text(level, 1), "-80.0 dB");
    EXPECT_EQ(Text(level, 100), "0.0 dB");
    EXPECT_EQ(Text(level, 127), "12.0 dB");
    EXPECT_EQ(Text(level, 128), "");
    EXPECT_EQ(Text(level, -1), "");

    int previous = INT_MIN;
    for (int value = 1; value <= CPrmConverterAudioLevel::kMaxLevel; ++value) {
        int tenths = 0;
        ASSERT_TRUE(CPrmConverterAudioLevel::LevelInTenths(value, tenths));
        EXPECT_GT(tenths, previous) << value;
        previous = tenths;
    }
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

TEST(PrmConverter, ScaledAndOffsetNumbers) {
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

TEST(PrmConverter, InputFormats) {
    EXPECT_EQ(gPrmConverterInFormat.Count(), 54);
    // The first and last value of each group.
    const std::pair<int, const char*> samples[] = {{0, "4096x2160/60p"},
                                                   {23, "2048x1080/23.98p"},
                                                   {24, "1920x1080/240p"},
                                                   {30, "1920x1080/100p"},
                                                   {31, "1920x1080/60p"},
                                                   {39, "1920x1080/60i"},
                                                   {41, "1920x1080/50i"},
                                                   {42, "1280x720/60p"},
                                                   {49, "1280x720/23.98p"},
                                                   {50, "720x480/60p"},
                                                   {52, "720x576/50p"},
                                                   {53, "PC(IT) Format"},
                                                   {54, ""},
                                                   {255, "Unsupport"},
                                                   {-1, ""}};
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
