#pragma once

#include "LPrmConverter.h"

// Shows a year stored as years since 1970.
class CPrmConverterSNTPYear : public LPrmConverter {
public:
    static constexpr int kEpochYear = 1970;

    LString PrmValueToString(int value) const override;
    int StringToPrmValue(const char* text) const override;
};
