#include "LPrmConverterStrTable.h"

LString LPrmConverterStrTable::PrmValueToString(int value) const {
    return (value >= 0 && value < mCount) ? LString(mTable[value]) : LString();
}
