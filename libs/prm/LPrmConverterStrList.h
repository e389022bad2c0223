#pragma once

#include "LObjList_.h"
#include "LPrmConverter.h"

#include <initializer_list>

// Names each value by an item of an owned list of texts: value v is item v.
class LPrmConverterStrList : public LPrmConverter {
public:
    LPrmConverterStrList() = default;
    // From an array of texts that ends with a null entry.
    explicit LPrmConverterStrList(const char* const* items);
    LPrmConverterStrList(std::initializer_list<const char*> items);

    // Appends a copy of the text; null is ignored.
    LPrmConverterStrList& operator<<(const char* item);

    int Count() const { return mItems.Count(); }
    // Item v, or the empty string outside 0..Count()-1.
    LString PrmValueToString(int value) const override;

private:
    LObjList_<LString> mItems;
};
