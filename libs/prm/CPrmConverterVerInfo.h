#pragma once

#include "LPrmConverter.h"

// Shows a 16-bit version word as "%02X.%02X": its low byte, a point, then its high part.
class CPrmConverterVerInfo : public LPrmConverter {
public:
    static LString FormatVersion(int word);

    LString PrmValueToString(int value) const override { return FormatVersion(value); }
};
