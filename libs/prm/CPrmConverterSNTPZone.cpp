#include "CPrmConverterSNTPZone.h"

LString CPrmConverterSNTPZone::PrmValueToString(int value) const {
    const long long minutes = 15LL * (value < 0 ? -static_cast<long long>(value) : value);
    LString text;
    text.Format("GMT %c%lld:%02lld", value < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}
