#include "CPrmConverterFloat01.h"

#include <climits>
#include <cstring>

namespace {
// Character classes of the "C" locale, whatever the process locale is.
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c != 0 && std::strchr(" \t\n\v\f\r", c);
}
} // namespace

LString CPrmConverterFloat01::PrmValueToString(int value) const {
    LString text;
    text.Format("%.1f", value / 10.0);
    return text;
}

int CPrmConverterFloat01::StringToPrmValue(const char* text) const {
    if (!text) return 0;
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';

    constexpr long long kSaturated = 1LL + INT_MAX;
    long long tenths = 0;
    for (; IsDigit(*text); ++text) {
        if (tenths < kSaturated) tenths = tenths * 10 + (*text - '0');
    }
    tenths *= 10;
    if (*text == '.' && IsDigit(text[1])) tenths += text[1] - '0';
    return ClampToInt(negative ? -tenths : tenths);
}
