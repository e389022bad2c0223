#pragma once

#include "LPrmConverterStrList.h"

// Shows a value in tenths with one decimal ("%.1f").
class CPrmConverterFloat01 : public LPrmConverterStrList {
public:
    LString PrmValueToString(int value) const override;
    // The typed decimal number in tenths, truncated toward zero after the first decimal. Parsed
    // digit by digit, so every text with one decimal converts back exactly.
    int StringToPrmValue(const char* text) const override;
};
