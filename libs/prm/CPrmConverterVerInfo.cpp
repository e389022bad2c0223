#include "CPrmConverterVerInfo.h"

LString CPrmConverterVerInfo::FormatVersion(int word) {
    const auto bits = static_cast<unsigned>(word);
    LString text;
    text.Format("%02X.%02X", bits & 0xFF, bits >> 8);
    return text;
}
