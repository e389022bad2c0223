#include "KdPrmSerialNumber.h"

#include <cstring>

std::optional<bool> KdPrmSerialNumber::updateValue(LPrmObserverBridge* bridge) {
    LString text = mPrmObserver.StringValue(kLength, 1);
    const bool changed = std::strcmp(text, mString) != 0;
    mString = text;
    return changed;
}

void KdPrmSerialNumber::valueUpdated(LPrmObserverBridge* bridge) {
    setText(QString::fromUtf8(mString.CString()));
}
