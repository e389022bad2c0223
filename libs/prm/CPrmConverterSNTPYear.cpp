#include "CPrmConverterSNTPYear.h"

LString CPrmConverterSNTPYear::PrmValueToString(int value) const {
    LString text;
    text.Format("%lld", value + static_cast<long long>(kEpochYear));
    return text;
}

int CPrmConverterSNTPYear::StringToPrmValue(const char* text) const {
    return ClampToInt(static_cast<long long>(LPrmConverter::StringToPrmValue(text)) - kEpochYear);
}
