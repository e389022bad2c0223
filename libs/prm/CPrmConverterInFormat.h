#pragma once

#include "LPrmConverterStrList.h"

// Names the detected input format; 255 means the input's format is not supported.
class CPrmConverterInFormat : public LPrmConverterStrList {
public:
    static constexpr int kUnsupported = 255;

    // The 54 formats, "resolution/rate" plus "PC(IT) Format".
    CPrmConverterInFormat();

    LString PrmValueToString(int value) const override;
};
