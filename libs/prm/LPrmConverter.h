#pragma once

#include "LPrmManager.h"
#include "LString.h"

// Turns a stored parameter value into what a view shows and back. The base shows the value as a
// decimal number. Converters are shared, constant instances.
class LPrmConverter {
public:
    LPrmConverter() = default;
    virtual ~LPrmConverter();

    virtual int PrmToViewValue(int value) const { return value; }
    virtual int ViewToPrmValue(int value) const { return value; }
    virtual LPrmManager::_SRangeInfo PrmToViewRange(const LPrmManager::_SRangeInfo& range) const {
        return range;
    }
    // "%d" of the value.
    virtual LString PrmValueToString(int value) const;
    // The text's leading decimal number, saturated to the int range; 0 for null or no number.
    virtual int StringToPrmValue(const char* text) const;

protected:
    static int ClampToInt(long long value);
};
