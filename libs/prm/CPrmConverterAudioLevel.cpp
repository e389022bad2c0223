#include "CPrmConverterAudioLevel.h"

namespace {

// The level curve as runs of equal steps, in tenths of a dB.
struct LevelRun {
    int mFirstValue;
    int mLastValue;
    int mFirstLevel;
    int mLastLevel;
    int mStep;
};

constexpr LevelRun kLevelRuns[] = {
    {1, 4, -800, -710, 30},   //
    {5, 7, -690, -650, 20},   //
    {8, 17, -635, -500, 15},  //
    {18, 37, -490, -300, 10}, //
    {38, 95, -295, -10, 5},   //
    {96, 105, -8, 10, 2},     //
    {106, 127, 15, 120, 5},   //
};

constexpr bool RunsAreConsistent() {
    int next = 1;
    for (const LevelRun& run : kLevelRuns) {
        if (run.mFirstValue != next) return false;
        if (run.mFirstLevel + (run.mLastValue - run.mFirstValue) * run.mStep != run.mLastLevel)
            return false;
        next = run.mLastValue + 1;
    }
    return next == CPrmConverterAudioLevel::kMaxLevel + 1;
}
static_assert(RunsAreConsistent());

} // namespace

bool CPrmConverterAudioLevel::LevelInTenths(int value, int& tenths) {
    for (const LevelRun& run : kLevelRuns) {
        if (value < run.mFirstValue || value > run.mLastValue) continue;
        tenths = run.mFirstLevel + (value - run.mFirstValue) * run.mStep;
        return true;
    }
    return false;
}

LString CPrmConverterAudioLevel::PrmValueToString(int value) const {
    LString text;
    int tenths = 0;
    if (value == 0) {
        text = "-INF";
    } else if (LevelInTenths(value, tenths)) {
        text.Format("%.1f dB", tenths / 10.0);
    }
    return text;
}
