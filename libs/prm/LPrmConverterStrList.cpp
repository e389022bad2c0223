#include "LPrmConverterStrList.h"

LPrmConverterStrList::LPrmConverterStrList(const char* const* items) {
    for (; items && *items; ++items)
        *this << *items;
}

LPrmConverterStrList::LPrmConverterStrList(std::initializer_list<const char*> items) {
    for (const char* item : items)
        *this << item;
}

LPrmConverterStrList& LPrmConverterStrList::operator<<(const char* item) {
    if (item) mItems << new LString(item);
    return *this;
}

LString LPrmConverterStrList::PrmValueToString(int value) const {
    const LString* item = mItems.ObjectAtIndex(value);
    return item ? *item : LString();
}
