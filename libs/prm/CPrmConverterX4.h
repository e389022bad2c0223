#pragma once

#include "LPrmConverterStrList.h"

// Shows four times the stored value.
class CPrmConverterX4 : public LPrmConverterStrList {
public:
    LString PrmValueToString(int value) const override;
    // The typed integer divided by 4, truncated toward zero.
    int StringToPrmValue(const char* text) const override;
};
