#pragma once

#include "LPrmConverter.h"

// Shows a time zone stored in quarter hours as "GMT +h:mm" or "GMT -h:mm".
class CPrmConverterSNTPZone : public LPrmConverter {
public:
    LString PrmValueToString(int value) const override;
};
