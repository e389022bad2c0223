#include "CPrmConverterX4.h"

LString CPrmConverterX4::PrmValueToString(int value) const {
    LString text;
    text.Format("%lld", value * 4LL);
    return text;
}

int CPrmConverterX4::StringToPrmValue(const char* text) const {
    return LPrmConverter::StringToPrmValue(text) / 4;
}
