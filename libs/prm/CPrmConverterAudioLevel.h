#pragma once

#include "LPrmConverterStrList.h"

// Shows an audio level 1..127 in dB ("%.1f dB"), 0 as "-INF".
class CPrmConverterAudioLevel : public LPrmConverterStrList {
public:
    static constexpr int kMaxLevel = 127;

    // The level of a stored value in tenths of a dB; false outside 1..127.
    static bool LevelInTenths(int value, int& tenths);

    LString PrmValueToString(int value) const override;
};
