#pragma once

#include "LPrmConverter.h"

// Names each value by a text of a constant array that ends with a null entry: value v is text v.
class LPrmConverterStrTable : public LPrmConverter {
public:
    constexpr explicit LPrmConverterStrTable(const char* const* table) : mTable(table) {
        while (mTable && mTable[mCount])
            ++mCount;
    }

    int Count() const { return mCount; }
    // Text v, or the empty string outside 0..Count()-1.
    LString PrmValueToString(int value) const override;

private:
    const char* const* mTable;
    int mCount = 0;
};
