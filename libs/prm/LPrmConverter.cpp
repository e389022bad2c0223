#include "LPrmConverter.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

LPrmConverter::~LPrmConverter() = default;

LString LPrmConverter::PrmValueToString(int value) const {
    LString text;
    text.Format("%d", value);
    return text;
}

int LPrmConverter::StringToPrmValue(const char* text) const {
    // strtol saturates where atol would overflow.
    return text ? ClampToInt(std::strtol(text, nullptr, 10)) : 0;
}

int LPrmConverter::ClampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}
