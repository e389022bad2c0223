#include "LPrmConverterStrList.h"
#include "LPrmConverters.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::string Text(const LPrmConverter& converter, int value) {
    return converter.PrmValueToString(value).CString();
}

TEST(PrmConverter, DecimalBase) {
    const LPrmConverter& nop = gPrmConverterNop;
    EXPECT_EQ(Text(nop, -5), "-5");
    EXPECT_EQ(nop.StringToPrmValue("42abc"), 42);
    EXPECT_EQ(nop.StringToPrmValue(" -7"), -7);
    EXPECT_EQ(nop.StringToPrmValue("abc"), 0);
    EXPECT_EQ(nop.StringToPrmValue(nullptr), 0);
    EXPECT_EQ(nop.StringToPrmValue("99999999999999999999"), INT_MAX);
    EXPECT_EQ(nop.StringToPrmValue("-99999999999"), INT_MIN);
}

TEST(PrmConverter, ListsNameValuesInOrder) {
    struct Sample {
        const LPrmConverterStrTable& converter;
        int count;
        int value;
        const char* text;
    };
    const Sample samples[] = {
        {gPrmConverterOffOn, 2, 1, "On"},
        {gPrmConverterInStill, 5, 4, "Still4"},
        {gPrmConverterNoSigMode, 6, 1, "Freeze"},
        {gPrmConverterMeType, 7, 6, "ROI"},
        {gPrmConverterModeSw, 5, 1, "M/E Type"},
        {gPrmConverterFaderAsgn, 5, 1, "Transition"},
        {gPrmConverterFaderDir, 2, 1, "Rev"},
        {gPrmConverterCutType, 3, 2, "Off"},
        {gPrmConverterMixType, 3, 2, "NAM"},
        {gPrmConverterWipeType, 5, 4, "Off"},
        {gPrmConverterPinPType, 3, 2, "Off"},
        {gPrmConverterSplitType, 3, 2, "Off"},
        {gPrmConverterSplitLayout, 2, 0, "Norm"},
        {gPrmConverterAlphaType, 5, 4, "Off"},
        {gPrmConverterAswType, 4, 3, "ROI"},
        {gPrmConverterDownCnv, 4, 3, "1080i"},
        {gPrmConverterSmplStruct, 6, 2, "RGB(Enh)"},
        {gPrmConverterSubOutSel, 4, 3, "Pre Fader"},
        {gPrmConverterRoiEnable, 2, 0, "Off"},
        {gPrmConverterRoiPreset, 8, 7, "ROI8"},
        {gPrmConverterRoiTarget, 2, 1, "Layer [2]"},
        {gPrmConverterRoiSource, 6, 1, "Sub In"},
        {gPrmConverterStillSource, 2, 1, "Sub"},
        {gPrmConverterStillTarget, 4, 0, "Still1"},
        {gPrmConverterStillStatus, 3, 2, "Saving"},
        {gPrmConverterStillMemory, 2, 1, "Exist"},
        {gPrmConverterFrameRate, 14, 9, "239.8p(FHD)"},
        {gPrmConverterHdcpMode, 3, 2, "Cancel"},
        {gPrmConverterSyncMode, 2, 0, "Frame Sync"},
        {gPrmConverterSyncRef, 3, 2, "Internal"},
        {gPrmConverterUDPMode, 3, 1, "Panel"},
        {gPrmConverterUDPMaster, 2, 0, "Slave"},
        {gPrmConverterTcRemote, 7, 6, "IN2 Type3"},
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.text);
        EXPECT_EQ(sample.converter.Count(), sample.count);
        EXPECT_EQ(Text(sample.converter, sample.value), sample.text);
        EXPECT_EQ(Text(sample.converter, -1), "");
        EXPECT_EQ(Text(sample.converter, sample.count), "");
    }
    EXPECT_EQ(LPrmConverterStrTable(nullptr).Count(), 0);
}

TEST(PrmConverter, StrListBuildsItsItems) {
    const char* const items[] = {"A", "B", nullptr};
    LPrmConverterStrList fromArray(items);
    LPrmConverterStrList fromList{"A", nullptr, "B"};
    fromList << nullptr << "C";
    EXPECT_EQ(fromArray.Count(), 2);
    EXPECT_EQ(fromList.Count(), 3);
    EXPECT_EQ(Text(fromList, 1), "B");
    EXPECT_EQ(Text(fromList, 2), "C");
    EXPECT_EQ(Text(fromList, 3), "");
    EXPECT_EQ(Text(fromArray, -1), "");
    EXPECT_EQ(LPrmConverterStrList(static_cast<const char* const*>(nullptr)).Count(), 0);
}

TEST(PrmConverter, AudioLevelInDecibels) {
    const LPrmConverter& level = gPrmConverterAudioLevel;
    EXPECT_EQ(Text(level, 0), "-INF");
    EXPECT_EQ(Text(level, 1), "-80.0 dB");
    EXPECT_EQ(Text(level, 100), "0.0 dB");
    EXPECT_EQ(Text(level, 127), "12.0 dB");
    EXPECT_EQ(Text(level, 128), "");
    EXPECT_EQ(Text(level, -1), "");
    // The first value of some runs of equal steps.
    EXPECT_EQ(Text(level, 8), "-63.5 dB");
    EXPECT_EQ(Text(level, 38), "-29.5 dB");
    EXPECT_EQ(Text(level, 96), "-0.8 dB");
    EXPECT_EQ(Text(level, 106), "1.5 dB");

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
    EXPECT_EQ(Text(float01, 0), "0.0");
    EXPECT_EQ(Text(float01, 5), "0.5");
    EXPECT_EQ(Text(float01, -5), "-0.5");
    EXPECT_EQ(Text(float01, 100), "10.0");
    for (int value = -2000; value <= 2000; ++value) {
        ASSERT_EQ(float01.StringToPrmValue(Text(float01, value).c_str()), value);
    }
    EXPECT_EQ(float01.StringToPrmValue("1.29"), 12); // truncated after one decimal
    EXPECT_EQ(float01.StringToPrmValue("-1.29"), -12);
    EXPECT_EQ(float01.StringToPrmValue(" +3"), 30);
    EXPECT_EQ(float01.StringToPrmValue(".7"), 7);
    EXPECT_EQ(float01.StringToPrmValue("2."), 20);
    EXPECT_EQ(float01.StringToPrmValue("x"), 0);
    EXPECT_EQ(float01.StringToPrmValue(nullptr), 0);
    EXPECT_EQ(float01.StringToPrmValue("99999999999999999999.9"), INT_MAX);
    EXPECT_EQ(float01.StringToPrmValue("-99999999999999999999"), INT_MIN);
}

TEST(PrmConverter, ScaledAndOffsetNumbers) {
    EXPECT_EQ(Text(gPrmConverterX4, 25), "100");
    EXPECT_EQ(Text(gPrmConverterX4, 1375), "5500");
    EXPECT_EQ(gPrmConverterX4.StringToPrmValue("103"), 25);
    EXPECT_EQ(gPrmConverterX4.StringToPrmValue("-3"), 0);
    EXPECT_EQ(gPrmConverterX4.StringToPrmValue("-7"), -1);

    EXPECT_EQ(Text(gPrmConverterSNTPYear, 48), "2018");
    EXPECT_EQ(Text(gPrmConverterSNTPYear, 0), "1970");
    EXPECT_EQ(gPrmConverterSNTPYear.StringToPrmValue("2018"), 48);
    EXPECT_EQ(gPrmConverterSNTPYear.StringToPrmValue("-99999999999"), INT_MIN);

    EXPECT_EQ(Text(gPrmConverterSNTPZone, 36), "GMT +9:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, -20), "GMT -5:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, 0), "GMT +0:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, 1), "GMT +0:15");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, -1), "GMT -0:15");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, -48), "GMT -12:00");
    EXPECT_EQ(Text(gPrmConverterSNTPZone, 51), "GMT +12:45");
    EXPECT_EQ(gPrmConverterSNTPZone.StringToPrmValue("-20"), -20);

    EXPECT_EQ(Text(gPrmConverterVerInfo, 0x0102), "02.01");
    EXPECT_EQ(Text(gPrmConverterVerInfo, 0xAB0C), "0C.AB");
    EXPECT_EQ(Text(gPrmConverterVerInfo, 0), "00.00");
}

TEST(PrmConverter, InputFormats) {
    const CPrmConverterInFormat& format = gPrmConverterInFormat;
    EXPECT_EQ(format.Count(), 54);
    EXPECT_EQ(Text(format, 0), "4096x2160/60p");
    EXPECT_EQ(Text(format, 9), "3840x2160/59.94p");
    EXPECT_EQ(Text(format, 23), "2048x1080/23.98p");
    EXPECT_EQ(Text(format, 24), "1920x1080/240p");
    EXPECT_EQ(Text(format, 27), "1920x1080/144p");
    EXPECT_EQ(Text(format, 30), "1920x1080/100p");
    EXPECT_EQ(Text(format, 31), "1920x1080/60p");
    EXPECT_EQ(Text(format, 38), "1920x1080/23.98p");
    EXPECT_EQ(Text(format, 39), "1920x1080/60i");
    EXPECT_EQ(Text(format, 41), "1920x1080/50i");
    EXPECT_EQ(Text(format, 42), "1280x720/60p");
    EXPECT_EQ(Text(format, 49), "1280x720/23.98p");
    EXPECT_EQ(Text(format, 51), "720x480/59.94p");
    EXPECT_EQ(Text(format, 52), "720x576/50p");
    EXPECT_EQ(Text(format, 53), "PC(IT) Format");
    EXPECT_EQ(Text(format, 54), "");
    EXPECT_EQ(Text(format, 255), "Unsupport");
    EXPECT_EQ(Text(format, -1), "");
}

} // namespace
